// The browser tests' harness: the page served from the build's web folder
// on a loopback port by a small static server, and Debian's chromium,
// headless, in a fresh profile, driven by playwright-core (never a
// browser of its own).
import { createRequire } from 'node:module';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

const require = createRequire(path.join(process.env.HALDEN_WEB_MODULES, 'x.js'));
const { chromium } = require('playwright-core');

const TYPES = {
  '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.png': 'image/png',
  '.wasm': 'application/wasm', '.json': 'application/json',
};

// Serves the folder on 127.0.0.1; resolves to { url, close }.
export function serve(root) {
  const server = http.createServer((request, response) => {
    const file = path.join(root, decodeURIComponent(new URL(request.url, 'http://x').pathname));
    if (!file.startsWith(root) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      const index = path.join(file, 'index.html');
      if (file.startsWith(root) && fs.existsSync(index)) {
        response.writeHead(200, { 'Content-Type': 'text/html' });
        response.end(fs.readFileSync(index));
        return;
      }
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
    response.end(fs.readFileSync(file));
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => {
      resolve({ url: `http://127.0.0.1:${server.address().port}/`, close: () => server.close() });
    });
  });
}

const FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

// A browser on a fresh profile (kept across reloads of its pages) with the
// page served; close() ends both and removes the profile.
export async function openBrowser() {
  const site = await serve(process.env.HALDEN_WEB_SITE);
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'halden-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.HALDEN_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: FLAGS,
    viewport: { width: 1900, height: 1300 },
    deviceScaleFactor: 1,
  });
  return {
    context,
    url: site.url,
    async page(query = '') {
      const page = context.pages()[0] || await context.newPage();
      page.on('pageerror', (error) => { throw error; });
      await page.goto(site.url + query);
      await page.evaluate(() => window.halden.ready);
      return page;
    },
    async close() {
      await context.close();
      site.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// Waits until the instrument shows the screen state of that name, and then
// half a second of instrument time, as an operator would before the next key.
export async function waitForState(page, name, timeout = 60000) {
  await page.waitForFunction((n) => window.halden.screenStateName() === n, name, { timeout });
  await waitInstrumentTime(page, 500);
}

// Lets at least ms of instrument time pass (at whatever speed the page runs).
export async function waitInstrumentTime(page, ms, timeout = 60000) {
  const start = await page.evaluate(() => window.halden.firmwareMs());
  await page.waitForFunction((end) => window.halden.firmwareMs() >= end, start + ms, { timeout });
}

// Until the firmware sees every key up again (a short press is held a
// moment, so that the firmware sees it at all).
async function allKeysUp(page) {
  await page.waitForFunction(() => [...Array(12).keys()].every((i) => !window.halden.keyDown(i + 1)));
}

// Presses and releases a key with the mouse on its face.
export async function clickKey(page, code) {
  const point = await page.evaluate((c) => window.halden.keyPoint(c), code);
  await page.mouse.click(point.x, point.y);
  await allKeysUp(page);
}

// Presses and releases a key by its keyboard shortcut.
export async function typeKey(page, key) {
  await page.keyboard.press(key);
  await allKeysUp(page);
}

// From standby, at the page's fastest pace, to the single-wavelength
// screen by the panel's keys, clicked and typed as an operator would.
export async function powerUpToSingleMeasure(page) {
  await page.selectOption('#speed', '0');
  await clickKey(page, 12);  // standby
  await waitForState(page, 'self-test-passed');
  await typeKey(page, '2');  // OK
  await waitForState(page, 'main-menu');
  await typeKey(page, '2');  // "Make a measurement"
  await clickKey(page, 8);   // "Single/Multi/Ratio"
  await typeKey(page, '1');  // "Single"
  await waitForState(page, 'single-measure');
}

// Puts a sample of the library into the cell by the sample chooser.
export async function putInCell(page, name) {
  await page.selectOption('#sampleName', name);
  await page.click('#sample button');
}

// The absorbance after "Abs" on the display, or NaN.
export async function shownAbsorbance(page) {
  const text = await page.evaluate(() => window.halden.screenText());
  const match = /Abs\s+(-?\d+\.\d+)/.exec(text);
  return match ? Number(match[1]) : NaN;
}

// From standby to the single-wavelength screen, in the language of the scenarios.
export const TO_SINGLE_MEASURE_SCENARIO = `key standby
wait-screen self-test-passed within 2m
key soft2
wait-screen main-menu within 1s
key soft2
key soft1
key soft1
wait-screen single-measure within 1s
`;

// Single-wavelength measurement from standby: a blank as reference, then the
// dye.
export const DYE_READING_SCENARIO = TO_SINGLE_MEASURE_SCENARIO + `sample blank
key ref
wait 6s
sample dye
key test
wait 6s
`;
