// websocket.mjs -- a text WebSocket to Chromium's DevTools socket: node's built-in WebSocket
// where this node has one (node 22, or 20 with --experimental-websocket), else a small client
// of our own over a TCP socket (Debian's node 18 has none)
//
//   const socket = await connectSocket('ws://127.0.0.1:PORT/devtools/browser/ID');
//   socket.onmessage = (text) => ...;  socket.send(text);  socket.close();
import { createConnection } from 'node:net';
import { randomBytes } from 'node:crypto';

export function connectSocket(address) {
  return typeof globalThis.WebSocket === 'function' ? connectBuiltIn(address) : connectOwn(address);
}

function connectBuiltIn(address) {
  return new Promise((done, failed) => {
    const socket = new globalThis.WebSocket(address);
    const wrapper = {
      onmessage: null,
      send: (text) => socket.send(text),
      close: () => socket.close(),
    };
    socket.onmessage = (event) => wrapper.onmessage && wrapper.onmessage(String(event.data));
    socket.onopen = () => done(wrapper);
    socket.onerror = () => failed(new Error(`cannot connect to ${address}`));
  });
}

// RFC 6455, as much as a DevTools session needs: text frames, fragmented or not, masked from
// the client; pings answered; any length.
function connectOwn(address) {
  const url = new URL(address);
  return new Promise((done, failed) => {
    const tcp = createConnection({host: url.hostname, port: Number(url.port)});
    const wrapper = {
      onmessage: null,
      send: (text) => tcp.write(frame(0x1, Buffer.from(text, 'utf8'))),
      close: () => tcp.end(frame(0x8, Buffer.alloc(0))),
    };
    let buffer = Buffer.alloc(0);
    let open = false;
    let pieces = [];
    tcp.on('error', (error) => (open ? undefined : failed(error)));
    tcp.on('connect', () => {
      tcp.write(`GET ${url.pathname}${url.search} HTTP/1.1\r\nHost: ${url.host}\r\nUpgrade: websocket\r\n` +
                `Connection: Upgrade\r\nSec-WebSocket-Key: ${randomBytes(16).toString('base64')}\r\n` +
                'Sec-WebSocket-Version: 13\r\n\r\n');
    });
    tcp.on('data', (chunk) => {
      buffer = Buffer.concat([buffer, chunk]);
      if (!open) {
        const end = buffer.indexOf('\r\n\r\n');
        if (end < 0) return;
        const head = buffer.toString('latin1', 0, end);
        if (!/^HTTP\/1\.1 101/.test(head)) {
          failed(new Error(`${address}: ${head.split('\r\n')[0]}`));
          tcp.destroy();
          return;
        }
        open = true;
        buffer = buffer.subarray(end + 4);
        done(wrapper);
      }
      for (;;) {
        if (buffer.length < 2) return;
        const opcode = buffer[0] & 0x0F;
        const final = (buffer[0] & 0x80) !== 0;
        let length = buffer[1] & 0x7F;
        let at = 2;
        if (length === 126) {
          if (buffer.length < 4) return;
          length = buffer.readUInt16BE(2);
          at = 4;
        } else if (length === 127) {
          if (buffer.length < 10) return;
          length = Number(buffer.readBigUInt64BE(2));
          at = 10;
        }
        if (buffer.length < at + length) return;
        const payload = buffer.subarray(at, at + length);
        buffer = buffer.subarray(at + length);
        if (opcode === 0x9) {
          tcp.write(frame(0xA, payload));
        } else if (opcode === 0x8) {
          tcp.end();
        } else if (opcode === 0x1 || opcode === 0x0) {
          pieces.push(Buffer.from(payload));
          if (final) {
            const text = Buffer.concat(pieces).toString('utf8');
            pieces = [];
            if (wrapper.onmessage) wrapper.onmessage(text);
          }
        }
      }
    });
  });
}

function frame(opcode, payload) {
  const mask = randomBytes(4);
  const length = payload.length;
  const head = length < 126 ? Buffer.from([0x80 | opcode, 0x80 | length])
      : length < 65536 ? Buffer.from([0x80 | opcode, 0x80 | 126, length >> 8, length & 0xFF])
      : Buffer.concat([Buffer.from([0x80 | opcode, 0x80 | 127]), bigLength(length)]);
  const masked = Buffer.alloc(length);
  for (let i = 0; i < length; ++i) masked[i] = payload[i] ^ mask[i & 3];
  return Buffer.concat([head, mask, masked]);
}

function bigLength(length) {
  const bytes = Buffer.alloc(8);
  bytes.writeBigUInt64BE(BigInt(length));
  return bytes;
}
