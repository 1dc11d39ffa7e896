# Enumerates a class through a WS-Management server with pywinrm (NTLM, sealed messages), a client
# this project did not write; prints "items N" and the first item's properties as NAME=VALUE.
#   pywinrm_enumerate.py ENDPOINT USER PASSWORD CLASS [never]   ("never": messages not sealed)
import sys
import uuid
import xml.etree.ElementTree as ET

from winrm.protocol import Protocol

endpoint, user, password, cls = sys.argv[1:5]
protocol = Protocol(endpoint=endpoint, transport="ntlm", username=user, password=password,
                    message_encryption=sys.argv[5] if len(sys.argv) > 5 else "always")
NS = {"s": "http://www.w3.org/2003/05/soap-envelope",
      "n": "http://schemas.xmlsoap.org/ws/2004/09/enumeration",
      "w": "http://schemas.dmtf.org/wbem/wsman/1/wsman.xsd"}
URI = "http://schemas.microsoft.com/wbem/wsman/1/wmi/root/cimv2/" + cls


def message(action, body):
    return ('<s:Envelope xmlns:s="%s" xmlns:a="http://schemas.xmlsoap.org/ws/2004/08/addressing" '
            'xmlns:n="%s" xmlns:w="%s"><s:Header><a:To>%s</a:To>'
            '<w:ResourceURI s:mustUnderstand="true">%s</w:ResourceURI>'
            '<a:ReplyTo><a:Address s:mustUnderstand="true">'
            'http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous</a:Address></a:ReplyTo>'
            '<a:Action s:mustUnderstand="true">http://schemas.xmlsoap.org/ws/2004/09/enumeration/%s</a:Action>'
            '<w:MaxEnvelopeSize s:mustUnderstand="true">153600</w:MaxEnvelopeSize>'
            '<a:MessageID>uuid:%s</a:MessageID><w:OperationTimeout>PT20S</w:OperationTimeout>'
            '</s:Header><s:Body>%s</s:Body></s:Envelope>'
            % (NS["s"], NS["n"], NS["w"], endpoint, URI, action, uuid.uuid4(), body))


items = []
answer = ET.fromstring(protocol.send_message(message("Enumerate", "<n:Enumerate/>")))
context = answer.find(".//n:EnumerationContext", NS)
while True:
    pulled = ET.fromstring(protocol.send_message(message(
        "Pull", "<n:Pull><n:EnumerationContext>%s</n:EnumerationContext><n:MaxElements>2</n:MaxElements></n:Pull>"
        % context.text)))
    found = pulled.find(".//n:Items", NS)
    if found is not None:
        items.extend(list(found))
    context = pulled.find(".//n:EnumerationContext", NS)
    if pulled.find(".//n:EndOfSequence", NS) is not None or context is None:
        break
print("items", len(items))
for prop in items[0] if items else []:
    print("%s=%s" % (prop.tag.split("}")[1], prop.text or ""))
