// The browser page's frame time: the whole show in its fixed-clock mode (no
// sound) from a capture trace, in headless Chromium. Prints "page: N frames
// in S s, M ms a frame".
//
// node web_frame_time.mjs PAGE_DIR TRACE WORK_DIR
import path from "node:path";

import { launch_chromium, load_puppeteer, serve } from "../tests/web/page_support.mjs";

const [pageDir, trace, workDir] = process.argv.slice(2);
const server = await serve(path.resolve(pageDir), { "/trace.csv": path.resolve(trace) });
const browser = await launch_chromium(load_puppeteer(), workDir);
try {
    const page = await browser.newPage();
    await page.goto(`http://127.0.0.1:${server.address().port}/index.html?fixed=trace.csv`);
    await page.waitForFunction(() => window.orvantiStatus.state !== "loading", { timeout: 60000 });
    const state = await page.evaluate(() => window.orvantiStatus.state);
    if (state !== "running")
        throw new Error(`the page did not start: ${state}`);
    const run = await page.evaluate(() => window.orvantiFixed.time_rest());
    const seconds = run.milliseconds / 1000;
    console.log(`page: ${run.frames} frames in ${seconds.toFixed(1)} s, ${(run.milliseconds / run.frames).toFixed(3)} ms a frame`);
} finally {
    await browser.close();
    server.close();
}
