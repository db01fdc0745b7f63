// The page's line to the plug-in: a WebSocket to the host program that
// served this page. Calls are {"id", "method", "args"}; the host answers
// {"id", "answer"} or {"id", "error"} and sends events {"event", "payload"},
// each message one JSON object.

export class BridgeError extends Error {
  // kind: "refused" (the host answered "error"), "closed" (the connection went).
  constructor(kind, message, method) {
    super(message);
    this.kind = kind;
    this.method = method;
  }
}

export class Bridge extends EventTarget {
  constructor(url) {
    super();
    this.url = url;
    this.socket = null;
    this.nextId = 1;
    this.pending = new Map();
    this.retries = 0;
    this.stopped = false;
  }

  get connected() {
    return this.socket?.readyState === WebSocket.OPEN;
  }

  connect() {
    // A reconnect asked for by hand may come before the timed one.
    if (this.stopped || this.socket) return;
    const socket = new WebSocket(this.url);
    // Large answers come as binary frames holding the same UTF-8 JSON text.
    socket.binaryType = 'arraybuffer';
    this.socket = socket;
    socket.addEventListener('open', () => {
      this.retries = 0;
      this.dispatchEvent(new CustomEvent('open'));
    });
    socket.addEventListener('message', (event) => this.receive(event.data));
    socket.addEventListener('close', () => {
      if (this.socket !== socket) return;
      this.socket = null;
      for (const [, call] of this.pending) call.reject(new BridgeError('closed', 'the connection to the backup center closed', call.method));
      this.pending.clear();
      this.retries++;
      this.dispatchEvent(new CustomEvent('close', { detail: { retries: this.retries } }));
      // The host may be restarting; try again, less often each time.
      if (this.retries <= 6) setTimeout(() => this.connect(), Math.min(500 * 2 ** (this.retries - 1), 8000));
    });
  }

  receive(data) {
    let message;
    try {
      message = JSON.parse(typeof data === 'string' ? data : new TextDecoder('utf-8').decode(data));
    } catch {
      console.warn('bridge: a message that is not JSON');
      return;
    }
    if (typeof message.event === 'string') {
      this.dispatchEvent(new CustomEvent(message.event, { detail: message.payload ?? {} }));
      return;
    }
    const call = this.pending.get(message.id);
    if (!call) return;
    this.pending.delete(message.id);
    if (typeof message.error === 'string') call.reject(new BridgeError('refused', message.error, call.method));
    else call.resolve(message.answer && typeof message.answer === 'object' ? message.answer : {});
  }

  // Calls a page method; resolves with its answer object.
  call(method, args = {}) {
    if (!this.connected) return Promise.reject(new BridgeError('closed', 'not connected to the backup center', method));
    const id = this.nextId++;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject, method });
      this.socket.send(JSON.stringify({ id, method, args }));
    });
  }

  on(event, handler) {
    this.addEventListener(event, (e) => handler(e.detail));
  }
}
