// The page as an operator uses it: it loads in standby, powers up to the
// main menu, takes a reference of the blank and a reading of the dye, and
// shows the dye's absorbance, the value the same steps give in a scenario
// (the same firmware, stepped) within the detector's noise.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { openBrowser, waitForState, waitInstrumentTime, clickKey, typeKey, shownAbsorbance,
  DYE_READING_SCENARIO } from './browser.mjs';

test('power-up, reference of the blank and a reading of the dye', async () => {
  const browser = await openBrowser();
  try {
    const scenarioPage = await browser.page('?scenario');
    const run = await scenarioPage.evaluate((text) => window.halden.runScenario(text), DYE_READING_SCENARIO);
    assert.equal(run.status, 0, run.output);
    const expected = await shownAbsorbance(scenarioPage);
    assert.ok(expected > 0.3, `the scenario shows no dye absorbance: ${expected}`);

    const page = await browser.page();
    assert.equal(await page.evaluate(() => window.halden.screenStateName()), 'standby');
    await page.selectOption('#speed', '0');
    await clickKey(page, 12);  // standby
    await waitForState(page, 'self-test-passed');
    await typeKey(page, '2');  // OK
    await waitForState(page, 'main-menu');
    await typeKey(page, '2');  // "Make a measurement"
    await clickKey(page, 8);         // "Single/Multi/Ratio"
    await typeKey(page, '1');  // "Single"
    await waitForState(page, 'single-measure');

    await page.selectOption('#sampleName', 'blank');
    await page.click('#sample button');
    await typeKey(page, 'r');
    await waitInstrumentTime(page, 8000);
    assert.ok(Math.abs(await shownAbsorbance(page)) < 0.01, 'the blank against itself is not near 0 A');

    await page.selectOption('#sampleName', 'dye');
    await page.click('#sample button');
    assert.match(await page.textContent('#sampleNow'), /In the cell: \S/);
    await clickKey(page, 5);  // test
    await waitInstrumentTime(page, 8000);
    const shown = await shownAbsorbance(page);
    assert.ok(Math.abs(shown - expected) <= 0.005, `the page shows ${shown} A, the scenario ${expected} A`);
  } finally {
    await browser.close();
  }
});
