// What every test of the real window needs first: waiting, a free port, and
// an Xvfb display of its own.
import { spawn } from 'node:child_process';
import net from 'node:net';

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Polls `check` until it gives a truthy value, which it returns.
export async function until(what, check, timeoutMs = 10000, stepMs = 50) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await sleep(stepMs);
  }
}

export function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// Xvfb picks a free display itself and tells us its number.
export function startXvfb(extraArgs = []) {
  return new Promise((resolve, reject) => {
    const child = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1600x1000x24', '-nolisten', 'tcp', ...extraArgs],
      { stdio: ['ignore', 'ignore', 'ignore', 'pipe'] });
    let text = '';
    child.stdio[3].on('data', (chunk) => {
      text += chunk;
      if (text.includes('\n')) resolve({ child, display: `:${text.trim()}` });
    });
    child.on('exit', (code) => reject(new Error(`Xvfb exited with ${code}`)));
  });
}
