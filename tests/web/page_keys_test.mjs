// Every key of the panel by mouse on its face and by the desktop's keyboard
// shortcut: while held, that key and no other is down for the firmware, and
// it is up again after the release.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { openBrowser } from './browser.mjs';

// Key code: its shortcuts, as on the desktop.
const SHORTCUTS = {
  1: ['r', 'R'], 2: ['ArrowUp'], 3: ['ArrowDown'], 4: ['Escape'], 5: ['t', 'Enter'], 6: ['ArrowLeft'],
  7: ['ArrowRight'], 8: ['1'], 9: ['2'], 10: ['3'], 11: ['4'], 12: ['s'],
};

async function keysDown(page) {
  return page.evaluate(() => [...Array(12).keys()].map((i) => i + 1).filter((c) => window.halden.keyDown(c)));
}

async function waitAllUp(page) {
  await page.waitForFunction(() => [...Array(12).keys()].every((i) => !window.halden.keyDown(i + 1)));
}

test('every key by mouse and by keyboard', async () => {
  const browser = await openBrowser();
  try {
    const page = await browser.page();
    for (const zoom of ['1', '3']) {
      await page.selectOption('#zoom', zoom);
      for (let code = 1; code <= 12; code++) {
        const point = await page.evaluate((c) => window.halden.keyPoint(c), code);
        assert.ok(point, `key ${code} has no face to click at zoom ${zoom}`);
        await page.mouse.move(point.x, point.y);
        await page.mouse.down();
        assert.deepEqual(await keysDown(page), [code], `mouse on key ${code} at zoom ${zoom}`);
        await page.mouse.up();
        await waitAllUp(page);
      }
    }
    for (const [code, keys] of Object.entries(SHORTCUTS))
      for (const key of keys) {
        await page.keyboard.down(key);
        assert.deepEqual(await keysDown(page), [Number(code)], `keyboard ${key}`);
        await page.keyboard.up(key);
        await waitAllUp(page);
      }
    // Typing in the serial pane's field types; it presses no key.
    await page.focus('#sendText');
    await page.keyboard.down('r');
    assert.deepEqual(await keysDown(page), []);
    await page.keyboard.up('r');
    assert.equal(await page.inputValue('#sendText'), 'r');
  } finally {
    await browser.close();
  }
});
