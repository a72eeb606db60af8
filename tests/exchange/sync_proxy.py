#!/usr/bin/python3
"""A proxy before the CalDAV server of the sync tests that can make the server fail.

  sync_proxy.py LISTEN_PORT SERVER_PORT MODE_FILE
Prints the port it listens on once it accepts connections. While MODE_FILE holds "500", every
request is answered 500 Internal Server Error; otherwise it is passed to the server.
"""
import http.client
import http.server
import sys

listen_port, server_port, mode_file = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]


class Proxy(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def handle_one(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0) or 0))
        try:
            with open(mode_file) as f:
                mode = f.read().strip()
        except OSError:
            mode = ""
        if mode == "500":
            text = b"Internal Server Error"
            self.send_response(500, "Internal Server Error")
            self.send_header("Content-Length", str(len(text)))
            self.end_headers()
            self.wfile.write(text)
            return
        connection = http.client.HTTPConnection("127.0.0.1", server_port)
        headers = {k: v for k, v in self.headers.items() if k.lower() != "host"}
        headers["Host"] = "127.0.0.1:%d" % server_port
        connection.request(self.command, self.path, body=body, headers=headers)
        answer = connection.getresponse()
        data = answer.read()
        self.send_response(answer.status, answer.reason)
        for key, value in answer.getheaders():
            if key.lower() not in ("content-length", "transfer-encoding", "connection"):
                self.send_header(key, value)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)
        connection.close()

    def __getattr__(self, name):
        if name.startswith("do_"):
            return self.handle_one
        raise AttributeError(name)


server = http.server.ThreadingHTTPServer(("127.0.0.1", listen_port), Proxy)
print(server.server_address[1], flush=True)
server.serve_forever()
