// Draws the guide's picture of the web page (docs/web.png): the page in a
// headless chromium, powered up, a reference of the blank and a reading of
// the dye taken, the cell heater on.
//
//   HALDEN_WEB_SITE=build/release/web \
//   HALDEN_WEB_MODULES=build/release/tests/web/node_modules \
//   node tools/web_shot.mjs docs/web.png
import path from 'node:path';
import { openBrowser, waitInstrumentTime, clickKey, typeKey, powerUpToSingleMeasure, putInCell }
  from '../tests/web/browser.mjs';

const out = process.argv[2];
if (!out || !process.env.HALDEN_WEB_SITE || !process.env.HALDEN_WEB_MODULES) {
  console.error('usage: HALDEN_WEB_SITE=DIR HALDEN_WEB_MODULES=DIR node tools/web_shot.mjs OUT.png');
  process.exit(2);
}

const browser = await openBrowser();
try {
  const page = await browser.page();
  await page.setViewportSize({ width: 1400, height: 900 });
  await page.check('#heater');
  await powerUpToSingleMeasure(page);
  await putInCell(page, 'blank');
  await typeKey(page, 'r');
  await waitInstrumentTime(page, 8000);
  await putInCell(page, 'dye');
  await clickKey(page, 5);   // test
  await waitInstrumentTime(page, 8000);
  await page.screenshot({ path: path.resolve(out) });
  console.log(`wrote ${out}`);
} finally {
  await browser.close();
}
