"""What the peers share: a list of what arrived that a test can wait on,
and a threaded TCP server that runs in a daemon thread and, when stopped,
also ends the connections still open, so no thread outlives its peer."""

import socket
import socketserver
import threading


class Received:
    """Items a peer kept, appended from its server threads."""

    def __init__(self):
        self._items = []
        self._changed = threading.Condition()

    def add(self, item):
        with self._changed:
            self._items.append(item)
            self._changed.notify_all()

    def changed(self):
        """Wakes the waiters after an item kept was updated in place."""
        with self._changed:
            self._changed.notify_all()

    def items(self):
        with self._changed:
            return list(self._items)

    def wait_until(self, predicate, timeout, what):
        """Waits until predicate(items) holds; TimeoutError says `what` did
        not happen."""
        with self._changed:
            if not self._changed.wait_for(lambda: predicate(self._items), timeout):
                raise TimeoutError(f"{what} within {timeout} s (have {len(self._items)})")
            return list(self._items)

    def wait_for(self, count, timeout, what="items"):
        return self.wait_until(lambda items: len(items) >= count, timeout,
                               f"no {count} {what}")


class TcpServer(socketserver.ThreadingMixIn, socketserver.TCPServer):
    """A thread per connection; with ssl_context the handshake runs in that
    thread, so a client that never completes it holds up no other."""

    daemon_threads = True
    allow_reuse_address = True
    handshake_timeout = 10

    def __init__(self, address, handler, ssl_context=None):
        self.ssl_context = ssl_context
        self._open = {}  # connection -> the thread serving it
        self._open_lock = threading.Lock()
        super().__init__(address, handler)

    def finish_request(self, request, client_address):
        if self.ssl_context is not None:
            request = self.ssl_context.wrap_socket(request, server_side=True,
                                                   do_handshake_on_connect=False)
        with self._open_lock:
            self._open[request] = threading.current_thread()
        try:
            if self.ssl_context is not None:
                request.settimeout(self.handshake_timeout)
                request.do_handshake()
                request.settimeout(None)
            self.RequestHandlerClass(request, client_address, self)
        finally:
            with self._open_lock:
                self._open.pop(request, None)
            if self.ssl_context is not None:
                request.close()

    def close_connections(self, timeout=5):
        """Ends the connections still open and waits for their threads."""
        with self._open_lock:
            open_now = dict(self._open)
        for connection in open_now:
            try:
                connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        for thread in open_now.values():
            thread.join(timeout)

    def handle_error(self, request, client_address):
        pass  # clients that go wrong are what these peers are for


class Serving:
    """A socketserver server run by a daemon thread, with start/stop and
    the with statement. Subclasses set self._server in start() before
    calling _run()."""

    _server = None
    _thread = None

    @property
    def address(self):
        return self._server.server_address[0]

    @property
    def port(self):
        return self._server.server_address[1]

    def _run(self, server):
        self._server = server
        self._thread = threading.Thread(target=server.serve_forever, args=(0.05,),
                                        name=type(self).__name__, daemon=True)
        self._thread.start()
        return self

    def stop(self):
        if self._thread is None:
            return
        self._server.shutdown()
        if hasattr(self._server, "close_connections"):
            self._server.close_connections()
        self._server.server_close()
        self._thread.join()
        self._thread = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
