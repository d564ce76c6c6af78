// The page's front panel as the browser draws it, against a golden picture:
// the display dot for dot, the panel's artwork (pictures drawn by Qt,
// text among them) within a small share of differing pixels.
//   HALDEN_UPDATE_GOLDEN=1 ctest -R web.page_screenshot   rewrites the golden.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { openBrowser, waitForState, clickKey, typeKey } from './browser.mjs';

const GOLDEN = path.join(process.env.HALDEN_SOURCE_DIR, 'tests/web/golden/panel.png');

test('the front panel with the main menu at size 2', async () => {
  const browser = await openBrowser();
  try {
    const page = await browser.page();
    await page.selectOption('#speed', '0');
    await clickKey(page, 12);
    await waitForState(page, 'self-test-passed');
    await typeKey(page, '2');
    await waitForState(page, 'main-menu');
    const shot = await page.locator('#panel').screenshot();
    if (process.env.HALDEN_UPDATE_GOLDEN) {
      fs.writeFileSync(GOLDEN, shot);
      return;
    }
    const result = await page.evaluate(async ({ shotUrl, goldenUrl }) => {
      const pixels = async (url) => {
        const image = new Image();
        image.src = url;
        await image.decode();
        const canvas = document.createElement('canvas');
        canvas.width = image.width;
        canvas.height = image.height;
        const g = canvas.getContext('2d');
        g.drawImage(image, 0, 0);
        return g.getImageData(0, 0, image.width, image.height);
      };
      const a = await pixels(shotUrl);
      const b = await pixels(goldenUrl);
      if (a.width !== b.width || a.height !== b.height)
        return { size: `${a.width}x${a.height} against ${b.width}x${b.height}` };
      const panel = document.getElementById('panel').getBoundingClientRect();
      const lcd = document.getElementById('lcd').getBoundingClientRect();
      const lcdBox = [lcd.left - panel.left, lcd.top - panel.top, lcd.width, lcd.height].map(Math.round);
      let lcdDiffering = 0;
      let artDiffering = 0;
      for (let y = 0; y < a.height; y++)
        for (let x = 0; x < a.width; x++) {
          const i = 4 * (y * a.width + x);
          const d = Math.max(Math.abs(a.data[i] - b.data[i]), Math.abs(a.data[i + 1] - b.data[i + 1]),
                             Math.abs(a.data[i + 2] - b.data[i + 2]));
          const inLcd = x >= lcdBox[0] && x < lcdBox[0] + lcdBox[2] && y >= lcdBox[1] && y < lcdBox[1] + lcdBox[3];
          if (inLcd && d > 0)
            lcdDiffering++;
          else if (!inLcd && d > 48)
            artDiffering++;
        }
      return { lcdDiffering, artDiffering, pixels: a.width * a.height, lcdBox };
    }, { shotUrl: `data:image/png;base64,${shot.toString('base64')}`,
         goldenUrl: `data:image/png;base64,${fs.readFileSync(GOLDEN).toString('base64')}` });
    assert.equal(result.size, undefined, result.size);
    assert.equal(result.lcdBox[2], 480, 'the display is not drawn at size 2');
    assert.equal(result.lcdDiffering, 0, 'the display differs from the golden');
    assert.ok(result.artDiffering <= result.pixels / 200,
              `${result.artDiffering} pixels of the panel differ from the golden`);
  } finally {
    await browser.close();
  }
});
