// What the browser tests stand on: a fresh demo company in a temporary folder, `q9strep serve`
// on a free loopback port over it, `q9strep` itself for the expected values, and Debian's
// Chromium driven by playwright-core with a fresh profile.
import {spawn, spawnSync} from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import {chromium} from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
export const repoRoot = path.resolve(here, '../../..');
export const q9strep = process.env.Q9STREP || path.join(repoRoot, 'build', 'q9strep');
export const chromiumPath = process.env.CHROMIUM || '/usr/bin/chromium';
// The passwords the demo company's users log in with (the demo company's README names them).
export function passwordOf(user) {
  return `${user}-2026`;
}

export const CHROMIUM_ARGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

export function tempDir(prefix) {
  return fs.mkdtempSync(path.join(os.tmpdir(), prefix));
}

// A new demo company; returns its connection string.
export function makeCompany(dir) {
  const r = spawnSync(q9strep, ['demo', '--dir', dir], {encoding: 'utf8'});
  if (r.status !== 0) throw new Error(`q9strep demo failed (${r.status}): ${r.stderr}`);
  return `Provider=SQLite;Data Source=${path.join(dir, 'company.db')};` +
      `System Database=${path.join(dir, 'system.db')}`;
}

// q9strep on the same company. Returns {status, stdout, stderr}; `json` parses the output.
export function cli(db, args, {user = 'demo'} = {}) {
  const r = spawnSync(q9strep, ['--db', db, '--user', user, ...args], {encoding: 'utf8'});
  if (r.error) throw r.error;
  return {status: r.status, stdout: r.stdout, stderr: r.stderr};
}

export function cliJson(db, args, opts) {
  const r = cli(db, ['--format', 'json', ...args], opts);
  if (r.status !== 0) throw new Error(`q9strep ${args.join(' ')} failed (${r.status}): ${r.stderr}`);
  return JSON.parse(r.stdout);
}

// The one line q9strep writes on failure, without its "q9strep: " prefix.
export function cliMessage(r) {
  return r.stderr.trim().replace(/^q9strep: /, '');
}

export function freePort() {
  return new Promise((resolve, reject) => {
    const s = net.createServer();
    s.unref();
    s.on('error', reject);
    s.listen(0, '127.0.0.1', () => {
      const {port} = s.address();
      s.close(() => resolve(port));
    });
  });
}

// `q9strep serve` on the company; resolves once it answers. `stop()` sends SIGTERM and resolves
// with the exit code.
export async function startServer(db) {
  const port = await freePort();
  const base = `http://127.0.0.1:${port}`;
  const child = spawn(q9strep, ['serve', '--listen', `127.0.0.1:${port}`, '--db', db],
      {stdio: ['ignore', 'pipe', 'pipe']});
  let output = '';
  child.stdout.on('data', (d) => { output += d; });
  child.stderr.on('data', (d) => { output += d; });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({code, signal})));
  const deadline = Date.now() + 30000;
  for (;;) {
    if (child.exitCode !== null) throw new Error(`q9strep serve ended at once: ${output}`);
    try {
      await fetch(`${base}/api/session`);
      break;
    } catch {
      if (Date.now() > deadline) {
        child.kill('SIGKILL');
        throw new Error(`q9strep serve did not answer on ${base}: ${output}`);
      }
      await new Promise((r) => setTimeout(r, 100));
    }
  }
  return {
    base,
    output: () => output,
    stop: async () => {
      if (child.exitCode === null) child.kill('SIGTERM');
      return exited;
    },
  };
}

export async function launchBrowser() {
  const profile = tempDir('q9web-profile-');
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: chromiumPath,
    headless: true,
    args: CHROMIUM_ARGS,
    viewport: {width: 1400, height: 900},
    acceptDownloads: true,
  });
  return {
    context,
    close: async () => {
      await context.close();
      fs.rmSync(profile, {recursive: true, force: true});
    },
  };
}

// Numbers as the page and the table output show them: at most four decimals, no trailing zeros.
export function shown(v) {
  if (v === null || v === undefined) return '';
  if (typeof v === 'boolean') return v ? 'Yes' : 'No';
  if (typeof v !== 'number') return String(v);
  if (Number.isInteger(v)) return String(v);
  const r = Math.round(v * 10000) / 10000;
  return Object.is(r, -0) ? '0' : String(r);
}
