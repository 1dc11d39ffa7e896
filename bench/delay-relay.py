# A TCP relay that holds every chunk for a one-way delay before passing it on, order kept: a
# network whose round trips take twice that. Used by bench/ssh.sh (RTT_MS) and bench/wsman.sh.
#   delay-relay.py LISTEN_PORT TARGET_PORT ONE_WAY_MS
#   delay-relay.py LISTEN:TARGET[,LISTEN:TARGET...] ONE_WAY_MS   (several computers at once)
import asyncio, sys, time

async def pump(reader, writer, delay):
    queue = asyncio.Queue()
    async def send():
        while True:
            due, data = await queue.get()
            if data is None:
                break
            wait = due - time.monotonic()
            if wait > 0:
                await asyncio.sleep(wait)
            writer.write(data)
            await writer.drain()
        writer.close()
    sender = asyncio.ensure_future(send())
    try:
        while True:
            data = await reader.read(65536)
            if not data:
                break
            queue.put_nowait((time.monotonic() + delay, data))
    finally:
        queue.put_nowait((0, None))
        await sender

async def main(pairs, delay):
    def handler(target):
        async def handle(cr, cw):
            sr, sw = await asyncio.open_connection("127.0.0.1", target)
            await asyncio.gather(pump(cr, sw, delay), pump(sr, cw, delay), return_exceptions=True)
        return handle
    servers = [await asyncio.start_server(handler(target), "127.0.0.1", listen) for listen, target in pairs]
    await asyncio.gather(*(s.serve_forever() for s in servers))

if len(sys.argv) == 3:
    pairs = [tuple(int(p) for p in pair.split(":")) for pair in sys.argv[1].split(",")]
    asyncio.run(main(pairs, int(sys.argv[2]) / 1000.0))
else:
    asyncio.run(main([(int(sys.argv[1]), int(sys.argv[2]))], int(sys.argv[3]) / 1000.0))
