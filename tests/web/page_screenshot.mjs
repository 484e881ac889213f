// The README's picture of the web page: the demo song opened through the file input and played in headless
// Chromium, the page captured about 8.6 s in (drums and bass playing), the help shown.
// usage: node page_screenshot.mjs TEST_PAGE_DIR SONG OUTPUT.png   (TEST_PAGE_DIR: build/web-wasm/page-test, the page
// with the tests' hook)
import { spawn } from 'node:child_process';
import net from 'node:net';
import { chromium } from 'playwright-core';

const [webDir, song, output] = process.argv.slice(2);
const port = await new Promise((resolve) => {
  const s = net.createServer().listen(0, '127.0.0.1', () => {
    const p = s.address().port;
    s.close(() => resolve(p));
  });
});
const server = spawn('python3', ['-m', 'http.server', String(port), '--bind', '127.0.0.1', '-d', webDir],
  { stdio: 'ignore' });
const browser = await chromium.launch({
  executablePath: process.env.TAVELMIR_CHROMIUM || '/usr/bin/chromium',
  args: ['--autoplay-policy=no-user-gesture-required'],
});
try {
  const page = await browser.newPage({ viewport: { width: 960, height: 720 } });
  for (let i = 0; ; ++i) {
    try {
      await page.goto(`http://127.0.0.1:${port}/index.html`);
      break;
    } catch (error) {
      if (i === 50) throw error;
      await new Promise((r) => setTimeout(r, 100));
    }
  }
  await page.evaluate(() => window.tavelmirTest.ready);
  await page.setInputFiles('#file', song);
  await page.waitForFunction(() => window.tavelmirTest.state().nextFrame >= 430, null, { timeout: 30000 });
  await page.click('#help-button');
  await page.mouse.move(480, 300);  // the cursor shown, as someone who just opened the song sees it
  await page.screenshot({ path: output });
} finally {
  await browser.close();
  server.kill();
}
