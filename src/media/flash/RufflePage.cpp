#include "media/flash/RufflePage.h"

namespace pictorelle::flash {
namespace {

// Ruffle keeps each player's inner object in a private field, which JavaScript implements with
// a WeakMap keyed by the element. Watching WeakMap.set before Ruffle's script runs lets the page
// find the inner player of each element, and through it the movie's own menu state: the
// built-in "Play" entry of a movie with more than one frame is checked exactly while the main
// timeline plays. The menu is only prepared, never shown, and the movie's own menu items are
// cleared again right after, as Ruffle does when a menu closes.
//
// The web engine of this system does not let fetch() read the page's own scheme, only
// XMLHttpRequest; fetch is therefore answered through it for that scheme (Ruffle fetches its
// WebAssembly and the movie).
const char* const kScript = R"JS(
(function () {
  const originalFetch = window.fetch;
  window.fetch = function (input, init) {
    const url = new URL(typeof input === "string" ? input : (input && input.url) || String(input),
                        document.baseURI).href;
    if (!url.startsWith("pictorelle-flash:")) return originalFetch.call(this, input, init);
    return new Promise((resolve, reject) => {
      const request = new XMLHttpRequest();
      request.open("GET", url);
      request.responseType = "arraybuffer";
      request.onload = () => {
        if (request.status !== 0 && request.status !== 200) {
          reject(new TypeError("Failed to fetch " + url));
          return;
        }
        const type = url.endsWith(".wasm") ? "application/wasm"
                   : request.getResponseHeader("Content-Type") || "application/octet-stream";
        resolve(new Response(request.response,
                             { status: 200, headers: { "Content-Type": type } }));
      };
      request.onerror = () => reject(new TypeError("Failed to fetch " + url));
      request.send();
    });
  };
  const originalSet = WeakMap.prototype.set;
  const innerOf = new WeakMap();
  WeakMap.prototype.set = function (key, value) {
    if (key instanceof HTMLElement && value && typeof value === "object" &&
        typeof value.contextMenuItems === "function")
      originalSet.call(innerOf, key, value);
    return originalSet.call(this, key, value);
  };
  let player = null;
  let failed = false;
  let playRequested = false;
  function config(menu) {
    return {
      publicPath: PUBLIC_PATH, polyfills: false, autoplay: "on", unmuteOverlay: "hidden",
      splashScreen: false, contextMenu: menu ? "on" : "off",
      showSwfDownload: false, warnOnUnsupportedContent: false, allowFullscreen: false,
      allowNetworking: "none", openUrlMode: "deny", upgradeToHttps: false, favorFlash: false,
      letterbox: "on", scale: "showAll", logLevel: "error", socketProxy: [], fontSources: [],
      backgroundColor: null
    };
  }
  window.pictorelle = {
    ready: false,
    load(url, menu) {
      this.unload();
      failed = false;
      playRequested = true;
      player = window.RufflePlayer.newest().createPlayer();
      player.style.width = "100%";
      player.style.height = "100%";
      player.style.display = "block";
      document.body.appendChild(player);
      const mine = player;
      player.addEventListener("loadedmetadata", () => {
        if (mine === player) window.pictorelle.ready = true;
      });
      player.ruffle().load(Object.assign({ url: url }, config(menu))).catch(() => {
        if (mine === player) failed = true;
      });
    },
    unload() {
      if (player) player.remove();
      player = null;
      playRequested = false;
    },
    play() {
      playRequested = true;
      if (player) player.ruffle().resume();
    },
    stop() {
      playRequested = false;
      if (player) player.ruffle().suspend();
    },
    state() {
      if (!player) return 0;
      if (failed) return 2;
      const inner = innerOf.get(player);
      if (!inner || !inner.instance || player.ruffle().readyState < 2) return 0;
      try {
        const items = inner.instance.prepare_context_menu();
        inner.instance.clear_custom_menu_items();
        const play = items.find((item) => item && /^play$/i.test(item.caption || ""));
        if (!play) return 3;
        return play.checked ? 1 : 2;
      } catch (e) {
        return 2;
      }
    }
  };
  window.RufflePlayer = { config: config(false) };
})();
)JS";

void PutU16(QByteArray& out, int value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

} // namespace

QByteArray RufflePageHtml(const QByteArray& publicPath) {
    QByteArray script(kScript);
    script.replace("PUBLIC_PATH", "\"" + publicPath + "\"");
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
           "<style>html,body{margin:0;padding:0;width:100%;height:100%;overflow:hidden;"
           "background:#000}</style><script>" +
           script + "</script><script src=\"" + publicPath +
           "ruffle.js\"></script></head><body></body></html>";
}

QByteArray BlankMovie() {
    QByteArray movie("FWS");
    movie.append(static_cast<char>(10));
    PutU16(movie, 0);
    PutU16(movie, 0); // the length, set below
    // Frame rectangle: five bits of field size (5), then 0, 20, 0, 20 twips.
    const uint64_t bits = (uint64_t{5} << 20) | (uint64_t{0} << 15) | (uint64_t{20} << 10) |
                          (uint64_t{0} << 5) | uint64_t{20};
    const uint64_t aligned = bits << (32 - 25); // 25 bits in 4 bytes, most significant first
    for (int shift = 24; shift >= 0; shift -= 8)
        movie.append(static_cast<char>((aligned >> shift) & 0xFF));
    PutU16(movie, 24 << 8); // 24 frames a second, 8.8 fixed point
    PutU16(movie, 1);       // one frame
    PutU16(movie, 1 << 6);  // ShowFrame
    PutU16(movie, 0);       // End
    const auto length = static_cast<uint32_t>(movie.size());
    for (int i = 0; i < 4; ++i)
        movie[4 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    return movie;
}

} // namespace pictorelle::flash
