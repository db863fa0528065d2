// Shared by the page's test and its benchmark: the system Chromium started
// headless through puppeteer-core, and a static server on a free loopback port.
import fs from "node:fs";
import http from "node:http";
import { createRequire } from "node:module";
import path from "node:path";
import { fileURLToPath } from "node:url";

export const Chromium = "/usr/bin/chromium";

// The page's npm packages live in web/ (scripts/install-deps.sh installs them).
export function load_puppeteer() {
    const packages = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "../../web/package.json");
    return createRequire(packages)("puppeteer-core");
}

// A fresh profile in work_dir, and nothing that reaches beyond this machine.
export function launch_chromium(puppeteer, work_dir) {
    return puppeteer.launch({
        executablePath: Chromium,
        userDataDir: fs.mkdtempSync(path.join(work_dir, "chromium-")),
        headless: true,
        args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync"],
    });
}

const Types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm", ".csv": "text/csv",
    ".png": "image/png", ".gz": "application/gzip" };

// Serves `folder`; `extra` maps a URL path ("/trace.csv") to a file elsewhere.
export function serve(folder, extra) {
    const server = http.createServer((request, response) => {
        const url = decodeURIComponent(new URL(request.url, "http://localhost").pathname);
        const file = extra[url] || path.join(folder, path.normalize(url.replace(/^\/+/, "") || "index.html"));
        if ((!extra[url] && !file.startsWith(folder)) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
            response.writeHead(404).end();
            return;
        }
        response.writeHead(200, { "Content-Type": Types[path.extname(file)] || "application/octet-stream",
            "Content-Length": fs.statSync(file).size });
        fs.createReadStream(file).pipe(response);
    });
    return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}
