// The stored settings in the browser: a language chosen in the set-up
// survives a reload; the image downloads whole; a loaded file passes the
// hosts' checks (a wrong size is refused, an erased image is taken and the
// instrument starts again with it); a second page cannot write or load the
// settings that the first one holds.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { openBrowser, waitForState, clickKey, typeKey } from './browser.mjs';

async function powerUpToMainMenu(page) {
  await page.selectOption('#speed', '0');
  await clickKey(page, 12);
  await waitForState(page, 'self-test-passed');
  await typeKey(page, '2');
  await waitForState(page, 'main-menu');
  return page.evaluate(() => window.halden.screenText());
}

const fileInput = (name, bytes) => ({ name, mimeType: 'application/octet-stream', buffer: Buffer.from(bytes) });

test('settings survive a reload, download and load with the checks, one page at a time', async () => {
  const browser = await openBrowser();
  try {
    const page = await browser.page();
    const english = await powerUpToMainMenu(page);
    // Set-up, language, the next one down the list.
    await typeKey(page, '3');
    await waitForState(page, 'setup-menu');
    await typeKey(page, '1');
    await waitForState(page, 'language');
    await typeKey(page, 'ArrowDown');
    await typeKey(page, '1');
    await waitForState(page, 'setup-menu');
    await typeKey(page, 'Escape');
    await waitForState(page, 'main-menu');
    const chosen = await page.evaluate(() => window.halden.screenText());
    assert.notEqual(chosen, english);
    await page.evaluate(() => window.halden.saveNow());

    await page.reload();
    await page.evaluate(() => window.halden.ready);
    assert.equal(await powerUpToMainMenu(page), chosen, 'the language did not survive the reload');

    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
    const image = fs.readFileSync(await download.path());
    assert.equal(image.length, 32768);
    const shown = Buffer.from(await page.evaluate(() => Array.from(window.halden.eepromBytes())));
    assert.ok(image.equals(shown), 'the download is not the image the instrument has');

    await page.setInputFiles('#upload', fileInput('short.bin', new Uint8Array(100)));
    await page.waitForFunction(() => /Not loaded/.test(document.getElementById('store').textContent));
    assert.match(await page.textContent('#store'), /short\.bin holds 100 bytes, so it is not an EEPROM image/);

    const second = await browser.context.newPage();
    await second.goto(browser.url);
    await second.evaluate(() => window.halden.ready);
    assert.match(await second.textContent('#store'), /in use by another page/);
    await second.setInputFiles('#upload', fileInput('eeprom.bin', image));
    await second.waitForFunction(() => /Not loaded/.test(document.getElementById('store').textContent));
    assert.match(await second.textContent('#store'), /in use by another page/);
    await second.close();

    // An erased image: the instrument starts again from the factory's settings.
    await Promise.all([
      page.waitForEvent('load'),
      page.setInputFiles('#upload', fileInput('erased.bin', new Uint8Array(32768).fill(0xff))),
    ]);
    await page.evaluate(() => window.halden.ready);
    assert.equal(await powerUpToMainMenu(page), english, 'the loaded image was not taken');
  } finally {
    await browser.close();
  }
});
