# A real SMTP server on 127.0.0.1 for the tests: it listens on a free port, prints the port,
# stores each message it accepts as <n>.eml in the folder named first (complete before the
# server answers, so a client that has finished has its message there), and ends when its
# standard input closes.
import asyncio
import os
import sys

from aiosmtpd.smtp import SMTP


class Store:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        path = os.path.join(self.folder, "%d.eml" % self.count)
        self.count += 1
        with open(path + ".part", "wb") as f:
            f.write(envelope.original_content or envelope.content)
        os.rename(path + ".part", path)
        return "250 OK"


async def main():
    loop = asyncio.get_running_loop()
    store = Store(sys.argv[1])
    server = await loop.create_server(lambda: SMTP(store), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await loop.run_in_executor(None, sys.stdin.read)
    server.close()


asyncio.run(main())
