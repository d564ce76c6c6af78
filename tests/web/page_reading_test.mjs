// The page as an operator uses it: it loads in standby, powers up to the
// main menu, takes a reference of the blank and a reading of the dye, and
// shows the dye's absorbance, the value the same steps give in a scenario
// (the same firmware, stepped) within the detector's noise.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { openBrowser, waitInstrumentTime, clickKey, typeKey, shownAbsorbance, powerUpToSingleMeasure, putInCell,
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
    await powerUpToSingleMeasure(page);

    await putInCell(page, 'blank');
    await typeKey(page, 'r');
    await waitInstrumentTime(page, 8000);
    assert.ok(Math.abs(await shownAbsorbance(page)) < 0.01, 'the blank against itself is not near 0 A');

    await putInCell(page, 'dye');
    assert.match(await page.textContent('#sampleNow'), /In the cell: \S/);
    await clickKey(page, 5);  // test
    await waitInstrumentTime(page, 8000);
    const shown = await shownAbsorbance(page);
    assert.ok(Math.abs(shown - expected) <= 0.005, `the page shows ${shown} A, the scenario ${expected} A`);
  } finally {
    await browser.close();
  }
});
