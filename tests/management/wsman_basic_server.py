# A minimal WS-Management server over HTTPS with Basic authentication, for the transport's test:
# Identify, one class (Win32_BIOS) in an Enumerate and a Pull, an invalid-class fault otherwise.
import http.server, ssl, sys, base64
ITEM='<p:Win32_BIOS xmlns:p="http://schemas.microsoft.com/wbem/wsman/1/wmi/root/cimv2/Win32_BIOS"><p:Manufacturer>ACME</p:Manufacturer><p:ReleaseDate><cim:Datetime>2020-01-02T03:04:05Z</cim:Datetime></p:ReleaseDate><p:BIOSVersion>a</p:BIOSVersion><p:BIOSVersion>b</p:BIOSVersion></p:Win32_BIOS>'
HEAD='<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:n="http://schemas.xmlsoap.org/ws/2004/09/enumeration" xmlns:w="http://schemas.dmtf.org/wbem/wsman/1/wsman.xsd" xmlns:cim="http://schemas.dmtf.org/wbem/wscim/1/common" xmlns:wsmid="http://schemas.dmtf.org/wbem/wsman/identity/1/wsmanidentity.xsd"><s:Header/><s:Body>'
class H(http.server.BaseHTTPRequestHandler):
    protocol_version='HTTP/1.1'
    def do_POST(self):
        n=int(self.headers.get('Content-Length','0')); body=self.rfile.read(n).decode()
        if self.headers.get('WSMANIDENTIFY')!='unauthenticated' and self.headers.get('Authorization')!='Basic '+base64.b64encode(b'CORP\\u:pw').decode():
            self.send_response(401); self.send_header('WWW-Authenticate','Basic realm="WSMAN"'); self.send_header('Content-Length','0'); self.end_headers(); return
        if 'Identify' in body:
            out=HEAD+'<wsmid:IdentifyResponse><wsmid:ProductVendor>Microsoft Corporation</wsmid:ProductVendor><wsmid:ProductVersion>OS: 10.0</wsmid:ProductVersion></wsmid:IdentifyResponse>'
        elif 'Win32_BIOS' in body and 'Enumerate' in body:
            out=HEAD+'<n:EnumerateResponse><n:EnumerationContext>ctx1</n:EnumerationContext><w:Items>'+ITEM+'</w:Items></n:EnumerateResponse>'
        elif 'Pull' in body:
            out=HEAD+'<n:PullResponse><n:Items>'+ITEM+'</n:Items><n:EndOfSequence/></n:PullResponse>'
        else:
            out=HEAD+'<s:Fault><s:Code><s:Value>s:Sender</s:Value><s:Subcode><s:Value>a:DestinationUnreachable</s:Value></s:Subcode></s:Code><s:Reason><s:Text>no</s:Text></s:Reason><s:Detail><f:WSManFault xmlns:f="http://schemas.microsoft.com/wbem/wsman/1/wsmanfault" Code="2150858752"/></s:Detail></s:Fault>'
            out+='</s:Body></s:Envelope>'; b=out.encode(); self.send_response(500)
            self.send_header('Content-Type','application/soap+xml;charset=UTF-8'); self.send_header('Content-Length',str(len(b))); self.end_headers(); self.wfile.write(b); return
        out+='</s:Body></s:Envelope>'; b=out.encode()
        self.send_response(200); self.send_header('Content-Type','application/soap+xml;charset=UTF-8'); self.send_header('Content-Length',str(len(b))); self.end_headers(); self.wfile.write(b)
    def log_message(self, *args):
        pass
s=http.server.ThreadingHTTPServer(('127.0.0.1',0),H)
c=ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER); c.load_cert_chain(sys.argv[1],sys.argv[2]); s.socket=c.wrap_socket(s.socket,server_side=True)
print('port', s.server_address[1], flush=True)
s.serve_forever()
