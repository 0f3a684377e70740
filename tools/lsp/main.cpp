// tarvo-lsp: a language server for Tarvo scripts (Language Server Protocol
// over stdin and stdout). Every open document is checked on opening and on
// every change with the checker, which reads the script exactly as the
// runtime does; the server also answers hover (a keyword's syntax and
// meaning), completion (keywords, labels, variables), go to definition of a
// label and the document's symbols (its labels).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <map>
#include <string>
#include <nlohmann/json.hpp>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif
#include "core/script.h"
#include "tools/checker/checker.h"
#include "tools/protocol/framing.h"

using json = nlohmann::json;

namespace {

struct Document {
  std::string text;
  CheckResult result;
};
std::map<std::string, Document> s_docs;
bool s_shutdown = false;

// ---- framing (tools/protocol/framing.h)

bool read_message(std::string* body) { return protocol::read_framed(body); }

void send(const json& message) {
  protocol::write_framed(message.dump(-1, ' ', false, json::error_handler_t::replace));
}

void reply(const json& id, const json& result) { send({{"jsonrpc", "2.0"}, {"id", id}, {"result", result}}); }

// ---- documents

json range_of(uint32_t line, uint32_t col, uint32_t length) {
  return {{"start", {{"line", line}, {"character", col}}},
          {"end", {{"line", line}, {"character", col + length}}}};
}

void check(const std::string& uri) {
  Document& d = s_docs[uri];
  d.result = check_script(d.text);
  json list = json::array();
  for (const Diagnostic& g : d.result.diagnostics)
    list.push_back({{"range", range_of(g.line, g.col, g.length)},
                    {"severity", g.error ? 1 : 2},
                    {"source", "tarvocheck"},
                    {"message", g.text}});
  send({{"jsonrpc", "2.0"},
        {"method", "textDocument/publishDiagnostics"},
        {"params", {{"uri", uri}, {"diagnostics", list}}}});
}

// The word under a position (identifier characters around it).
std::string word_at(const std::string& text, uint32_t line, uint32_t col) {
  size_t p = 0;
  for (uint32_t l = 0; l < line && p < text.size(); ++p) {
    if (text[p] == '\r' && p + 1 < text.size() && text[p + 1] == '\n') continue;
    if (text[p] == '\r' || text[p] == '\n') ++l;
  }
  size_t end_of_line = p;
  while (end_of_line < text.size() && text[end_of_line] != '\r' && text[end_of_line] != '\n') ++end_of_line;
  size_t at = p + col;
  if (at > end_of_line) return "";
  size_t a = at, b = at;
  while (a > p && is_ident(text[a - 1])) --a;
  while (b < end_of_line && is_ident(text[b])) ++b;
  return text.substr(a, b - a);
}

bool same_name(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (upper_ascii(a[i]) != upper_ascii(b[i])) return false;
  return true;
}

const Symbol* label_named(const Document& d, const std::string& word) {
  for (const Symbol& s : d.result.labels)
    if (same_name(s.name, word)) return &s;
  return nullptr;
}

Document* doc_of(const json& params) {
  auto it = s_docs.find(params["textDocument"]["uri"].get<std::string>());
  return it == s_docs.end() ? nullptr : &it->second;
}

std::string word_of(const Document& d, const json& params) {
  return word_at(d.text, params["position"]["line"].get<uint32_t>(),
                 params["position"]["character"].get<uint32_t>());
}

// ---- requests

json hover(const json& params) {
  Document* d = doc_of(params);
  if (!d) return nullptr;
  std::string word = word_of(*d, params);
  if (word.empty()) return nullptr;
  std::string meaning, text;
  std::string syntax = describe_keyword(word, &meaning);
  if (!syntax.empty()) {
    text = "```tarvo\n" + syntax + "\n```\n" + meaning;
  } else if (const Symbol* s = label_named(*d, word)) {
    text = "label `" + s->name + "`, defined on line " + std::to_string(s->line + 1);
  } else {
    return nullptr;
  }
  return {{"contents", {{"kind", "markdown"}, {"value", text}}}};
}

json completion(const json& params) {
  json items = json::array();
  for (const std::string& k : all_keywords()) {
    std::string meaning;
    std::string syntax = describe_keyword(k, &meaning);
    items.push_back({{"label", k}, {"kind", 14}, {"detail", syntax}, {"documentation", meaning}});
  }
  if (Document* d = doc_of(params)) {
    for (const Symbol& s : d->result.labels) items.push_back({{"label", s.name}, {"kind", 18}, {"detail", "label"}});
    for (const Symbol& s : d->result.variables)
      items.push_back({{"label", s.name}, {"kind", 6}, {"detail", "variable"}});
  }
  return {{"isIncomplete", false}, {"items", items}};
}

json definition(const json& params) {
  Document* d = doc_of(params);
  if (!d) return nullptr;
  const Symbol* s = label_named(*d, word_of(*d, params));
  if (!s) return nullptr;
  return {{"uri", params["textDocument"]["uri"]},
          {"range", range_of(s->line, s->col, (uint32_t)s->name.size())}};
}

json symbols(const json& params) {
  json list = json::array();
  Document* d = doc_of(params);
  if (!d) return list;
  for (const Symbol& s : d->result.labels) {
    json r = range_of(s.line, s.col, (uint32_t)s.name.size());
    list.push_back({{"name", s.name}, {"kind", 12}, {"range", r}, {"selectionRange", r}});
  }
  return list;
}

json capabilities() {
  return {{"capabilities",
           {{"textDocumentSync", {{"openClose", true}, {"change", 1}}},
            {"hoverProvider", true},
            {"completionProvider", {{"resolveProvider", false}}},
            {"definitionProvider", true},
            {"documentSymbolProvider", true}}},
          {"serverInfo", {{"name", "tarvo-lsp"}, {"version", "1.0"}}}};
}

// Handles one message; false after "exit".
bool handle(const json& m, int* status) {
  std::string method = m.value("method", "");
  json params = m.contains("params") ? m["params"] : json::object();
  bool request = m.contains("id");
  json id = request ? m["id"] : json();
  if (method == "exit") {
    *status = s_shutdown ? 0 : 1;
    return false;
  }
  if (method == "initialize") return reply(id, capabilities()), true;
  if (method == "shutdown") return s_shutdown = true, reply(id, nullptr), true;
  if (method == "textDocument/didOpen") {
    std::string uri = params["textDocument"]["uri"];
    s_docs[uri].text = params["textDocument"]["text"];
    check(uri);
    return true;
  }
  if (method == "textDocument/didChange") {
    std::string uri = params["textDocument"]["uri"];
    for (const json& c : params["contentChanges"]) s_docs[uri].text = c["text"];
    check(uri);
    return true;
  }
  if (method == "textDocument/didClose") {
    s_docs.erase(params["textDocument"]["uri"].get<std::string>());
    return true;
  }
  if (method == "textDocument/hover") return reply(id, hover(params)), true;
  if (method == "textDocument/completion") return reply(id, completion(params)), true;
  if (method == "textDocument/definition") return reply(id, definition(params)), true;
  if (method == "textDocument/documentSymbol") return reply(id, symbols(params)), true;
  if (request)
    send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", -32601}, {"message", "unknown method " + method}}}});
  return true;
}

}  // namespace

int main() {
#ifdef _WIN32
  // The protocol counts bytes: no line-end translation.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::string body;
  int status = 1;
  while (read_message(&body)) {
    json m = json::parse(body, nullptr, false);
    if (m.is_discarded() || !m.is_object()) {
      send({{"jsonrpc", "2.0"}, {"id", nullptr}, {"error", {{"code", -32700}, {"message", "parse error"}}}});
      continue;
    }
    try {
      if (!handle(m, &status)) return status;
    } catch (const json::exception& e) {
      // A message whose fields have the wrong types: answered, not fatal.
      if (m.contains("id"))
        send({{"jsonrpc", "2.0"}, {"id", m["id"]}, {"error", {{"code", -32602}, {"message", e.what()}}}});
    }
  }
  return status;
}
