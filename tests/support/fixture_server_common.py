"""What the local test servers share: a threaded server on 127.0.0.1 that
takes early hang-ups quietly, one lock for their output lines, and ending
together with the test that started them."""
import http.server
import os
import sys
import threading
import time

OUTPUT_LOCK = threading.Lock()


class QuietServer(http.server.ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 128

    def __init__(self, handler):
        super().__init__(("127.0.0.1", 0), handler)

    def handle_error(self, request, client_address):
        # Clients that hang up early are part of the tests.
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


def end_with_parent():
    """Runs on a thread: ends the process once its parent has gone."""
    parent = os.getppid()
    while os.getppid() == parent:
        time.sleep(0.5)
    os._exit(0)


def serve_in_background(server):
    threading.Thread(target=server.serve_forever, daemon=True).start()
    threading.Thread(target=end_with_parent, daemon=True).start()
