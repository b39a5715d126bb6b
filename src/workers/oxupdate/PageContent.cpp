#include "PageContent.h"

#include <nlohmann/json.hpp>

namespace orvex::oxupdate {

namespace {

// Runs in a world of its own, so the page's scripts cannot have replaced the
// built-ins it uses. Every wait is bounded: a page that never paints (rAF
// stalls) or keeps images loading still gets an answer within kPageScriptMs.
// Strings are made well-formed: a lone surrogate would make the reply
// unreadable JSON and cost the whole capture.
constexpr const char* kScript = R"JS((async () => {
  const started = performance.now();
  const elapsed = () => performance.now() - started;
  const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));
  const frame = () => new Promise(resolve => {
    let done = false;
    const finish = () => { if (!done) { done = true; resolve(); } };
    requestAnimationFrame(finish);
    setTimeout(finish, 100);
  });
  const str = value => (typeof value === 'string' ? value : '').toWellFormed();
  const squash = value => str(value).replace(/\s+/g, ' ').trim();

  // Scroll a screen at a time so lazily loaded images (loading="lazy" and
  // scripts watching with an IntersectionObserver) come into view, then back.
  // Screenshots stop at 16384 pixels; scrolling further would only cost time.
  const root = document.scrollingElement || document.documentElement;
  if (root) {
    const step = Math.max(100, innerHeight || 0);
    for (let y = step; y < Math.min(root.scrollHeight, 16384) && elapsed() < 1500; y += step) {
      scrollTo({top: y, left: 0, behavior: 'instant'});
      await frame();
    }
    scrollTo({top: 0, left: 0, behavior: 'instant'});
    await frame();
  }
  const pending = Array.from(document.images).filter(i => !i.complete && (i.currentSrc || i.src));
  if (pending.length) {
    const loaded = pending.map(image => new Promise(resolve => {
      image.addEventListener('load', resolve, {once: true});
      image.addEventListener('error', resolve, {once: true});
    }));
    await Promise.race([Promise.all(loaded), sleep(Math.max(200, 3000 - elapsed()))]);
    await frame();
  }

  let description = '', keywords = '';
  for (const meta of document.querySelectorAll('meta[name]')) {
    const name = str(meta.getAttribute('name')).trim().toLowerCase();
    if (name === 'description' && !description) description = squash(meta.content);
    if (name === 'keywords' && !keywords) keywords = squash(meta.content);
  }

  const body = document.body;
  const text = str(body ? body.innerText
                        : (document.documentElement ? document.documentElement.textContent : ''))
                   .slice(0, 8000000);

  const links = [];
  for (const link of Array.from(document.links).slice(0, 5000)) {
    let label = squash(link.innerText);
    if (!label) {
      const image = link.querySelector && link.querySelector('img[alt]');
      label = squash(image ? image.alt : (link.alt || link.title));
    }
    links.push([str(link.href), label]);
  }

  const paragraphs = [];
  let size = 0;
  const add = line => {
    if (line && paragraphs.length < 5000 && size < 1000000) {
      paragraphs.push(line);
      size += line.length;
    }
  };
  for (const p of document.querySelectorAll('p')) add(squash(p.innerText));
  if (!paragraphs.length) for (const line of text.split('\n')) add(squash(line));

  // Declared icons, the ones an icon file can be made of first.
  const icons = [];
  for (const link of document.querySelectorAll('link[rel][href]')) {
    const rel = Array.from(link.relList).map(r => r.toLowerCase());
    if (!rel.includes('icon') && !rel.includes('apple-touch-icon')) continue;
    const type = str(link.type).toLowerCase();
    const href = str(link.href);
    let rank = rel.includes('icon') ? 0 : 4;
    if (type.includes('svg') || /\.svgz?([?#]|$)/i.test(href)) rank += 2;
    if (/(^|\s)(16x16|32x32)(\s|$)/i.test(str(link.getAttribute('sizes')))) rank -= 1;
    icons.push([rank, icons.length, href]);
  }
  icons.sort((a, b) => a[0] - b[0] || a[1] - b[1]);

  return {
    title: squash(document.title),
    description, keywords,
    charset: str(document.characterSet),
    contentType: str(document.contentType),
    text, links, paragraphs,
    icons: icons.slice(0, 8).map(i => i[2]),
    hasBody: !!body,
  };
})())JS";

std::string Text(const nlohmann::json& object, const char* key)
{
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

} // namespace

const std::string& PageScript()
{
    static const std::string script = kScript;
    return script;
}

PageContent ParsePageContent(const nlohmann::json& value)
{
    PageContent page;
    if (!value.is_object())
        return page;
    page.title = Text(value, "title");
    page.description = Text(value, "description");
    page.keywords = Text(value, "keywords");
    page.charset = Text(value, "charset");
    page.contentType = Text(value, "contentType");
    page.text = Text(value, "text");
    if (const auto it = value.find("hasBody"); it != value.end() && it->is_boolean())
        page.hasBody = it->get<bool>();
    if (const auto it = value.find("links"); it != value.end() && it->is_array()) {
        for (const auto& link : *it) {
            if (!link.is_array() || link.size() != 2 || !link[0].is_string() ||
                !link[1].is_string())
                continue;
            page.links.push_back({link[0].get<std::string>(), link[1].get<std::string>()});
        }
    }
    if (const auto it = value.find("paragraphs"); it != value.end() && it->is_array()) {
        for (const auto& line : *it)
            if (line.is_string())
                page.paragraphs.push_back(line.get<std::string>());
    }
    if (const auto it = value.find("icons"); it != value.end() && it->is_array()) {
        for (const auto& icon : *it)
            if (icon.is_string() && !icon.get_ref<const std::string&>().empty())
                page.icons.push_back(icon.get<std::string>());
    }
    return page;
}

} // namespace orvex::oxupdate
