// The cell heater in the page, as the desktop's Options > Cell Heater: with
// the box ticked the set-up menu offers "Heater Control", without it not.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { openBrowser, waitForState, clickKey, typeKey } from './browser.mjs';

async function setUpMenuText(page) {
  await typeKey(page, '3');  // "Set-up"
  await waitForState(page, 'setup-menu');
  const text = await page.evaluate(() => window.halden.screenText());
  await typeKey(page, 'Escape');
  await waitForState(page, 'main-menu');
  return text;
}

test('fitting and removing the cell heater', async () => {
  const browser = await openBrowser();
  try {
    const page = await browser.page();
    assert.equal(await page.isChecked('#heater'), false);
    await page.selectOption('#speed', '0');
    await clickKey(page, 12);  // standby
    await waitForState(page, 'self-test-passed');
    await typeKey(page, '2');  // OK
    await waitForState(page, 'main-menu');
    assert.doesNotMatch(await setUpMenuText(page), /Heater Control/);

    await page.check('#heater');
    assert.match(await setUpMenuText(page), /Heater Control/);

    await page.uncheck('#heater');
    assert.doesNotMatch(await setUpMenuText(page), /Heater Control/);
  } finally {
    await browser.close();
  }
});
