// Asks a top-level window to close the way a window manager's close box
// does: a WM_DELETE_WINDOW client message. A few X11 requests over the
// display's local socket; Xvfb started without -auth needs no cookie.
import net from 'node:net';

function pad4(n) {
  return (4 - (n % 4)) % 4;
}

function internAtom(name) {
  const bytes = Buffer.from(name, 'latin1');
  const request = Buffer.alloc(8 + bytes.length + pad4(bytes.length));
  request.writeUInt8(16, 0);  // InternAtom
  request.writeUInt8(0, 1);   // create it if missing
  request.writeUInt16LE(request.length / 4, 2);
  request.writeUInt16LE(bytes.length, 4);
  bytes.copy(request, 8);
  return request;
}

function deleteWindowEvent(window, protocols, deleteWindow) {
  const request = Buffer.alloc(44);
  request.writeUInt8(25, 0);  // SendEvent
  request.writeUInt8(0, 1);   // no propagation
  request.writeUInt16LE(11, 2);
  request.writeUInt32LE(window, 4);
  request.writeUInt32LE(0, 8);  // event mask: the window's owner only
  request.writeUInt8(33, 12);   // ClientMessage
  request.writeUInt8(32, 13);   // format
  request.writeUInt32LE(window, 16);
  request.writeUInt32LE(protocols, 20);
  request.writeUInt32LE(deleteWindow, 24);
  request.writeUInt32LE(0, 28);  // CurrentTime
  return request;
}

const getInputFocus = Buffer.from([43, 0, 1, 0]);  // a round trip to flush

export function closeWindow(display, window) {
  const number = String(display).replace(/^:/, '').split('.')[0];
  return new Promise((resolve, reject) => {
    const socket = net.createConnection(`/tmp/.X11-unix/X${number}`);
    let buffer = Buffer.alloc(0);
    let stage = 'setup';
    const atoms = [];
    socket.on('error', reject);
    socket.on('connect', () => {
      const setup = Buffer.alloc(12);
      setup.write('l', 0, 'latin1');
      setup.writeUInt16LE(11, 2);
      socket.write(setup);
    });
    socket.on('data', (chunk) => {
      buffer = Buffer.concat([buffer, chunk]);
      for (;;) {
        if (stage === 'setup') {
          if (buffer.length < 8) return;
          const total = 8 + 4 * buffer.readUInt16LE(6);
          if (buffer.length < total) return;
          if (buffer[0] !== 1) return reject(new Error('the X server refused the connection'));
          buffer = buffer.subarray(total);
          stage = 'atoms';
          socket.write(Buffer.concat([internAtom('WM_PROTOCOLS'), internAtom('WM_DELETE_WINDOW')]));
          continue;
        }
        if (buffer.length < 32) return;
        const packet = buffer.subarray(0, 32);
        buffer = buffer.subarray(32);
        if (packet[0] === 0) return reject(new Error(`X error ${packet[1]}`));
        if (packet[0] !== 1) continue;  // an event: not ours to read
        if (stage === 'atoms') {
          atoms.push(packet.readUInt32LE(8));
          if (atoms.length === 2) {
            stage = 'sent';
            socket.write(Buffer.concat([deleteWindowEvent(Number(window), atoms[0], atoms[1]), getInputFocus]));
          }
        } else {
          socket.end();
          return resolve();
        }
      }
    });
  });
}
