// The language reference docs/reference.md against the runtime's tables:
// one entry per statement, and per command an entry whose syntax line and
// keyword lists are rendered here from the command's descriptor; no entry
// for a command that does not exist; every message text documented.
#include <gtest/gtest.h>
#include <windows.h>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"

namespace {

struct Entry {
  std::string syntax;               // the text inside "Syntax: `...`"
  std::vector<std::string> words;   // each "`Keyword` words: ..." line
  std::string body;                 // the whole entry
};

struct Reference {
  std::string text;
  std::set<std::string> statements;
  std::map<std::string, Entry> commands;
};

std::string read_reference() {
  // From the sources' root, or beside them: the test program lives in build/<arch>/.
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir(path, n < sizeof path ? n : 0);
  for (std::string t = "docs/reference.md"; !t.empty();) {
    std::ifstream in(t, std::ios::binary);
    if (in) {
      std::stringstream s;
      s << in.rdbuf();
      return s.str();
    }
    size_t cut = dir.find_last_of("\\/");
    t = cut == std::string::npos ? "" : (dir.resize(cut), dir + "\\docs\\reference.md");
  }
  return "";
}

Reference parse_reference() {
  Reference r;
  r.text = read_reference();
  std::istringstream in(r.text);
  std::string line, section, name;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("## ", 0) == 0) {
      section = line.substr(3);
      name.clear();
      continue;
    }
    if (line.rfind("### ", 0) == 0) {
      name = line.substr(4);
      if (section == "Statements") r.statements.insert(name);
      if (section == "Commands") {
        EXPECT_EQ(r.commands.count(name), 0u) << "two entries for " << name;
        r.commands[name];
      }
      continue;
    }
    if (section != "Commands" || name.empty()) continue;
    Entry& e = r.commands[name];
    e.body += line + "\n";
    const std::string syn = "Syntax: `", kw = "`Keyword` words: ";
    if (line.rfind(syn, 0) == 0 && line.size() > syn.size() && line.back() == '`') {
      EXPECT_TRUE(e.syntax.empty()) << "two syntax lines for " << name;
      e.syntax = line.substr(syn.size(), line.size() - syn.size() - 1);
    } else if (line.rfind(kw, 0) == 0) {
      e.words.push_back(line.substr(kw.size()));
    }
  }
  return r;
}

// The kinds by their raw values (11 and 12 end a list).
const char* const kKindNames[] = {"(", ")", ",", "NumExpr", "Point", "Colour", "StrExpr", "NumVar", "Label",
                                  "NumRelOp", "Keyword", nullptr, nullptr, "StrVar", "StrRelOp"};
const char* kind_name(uint32_t kind) { return kind < 15 ? kKindNames[kind] : nullptr; }

// The syntax line and the keyword lists of a command, as the reference
// writes them: "CHR ( NumExpr , StrVar )", "`PIXEL`, `METRIC`".
void render(const Command& c, std::string* syntax, std::vector<std::string>* words) {
  *syntax = c.name;
  words->clear();
  for (const ArgItem* a = c.syntax;; ++a) {
    // The parser reads only the low byte, as a signed value; anything that
    // is not a kind ends the list.
    const char* k = kind_name((uint32_t)(int8_t)(a->kind & 0xFF));
    if (!k) break;
    *syntax += std::string(" ") + k;
    if (a->kind == A_KEYWORD) {
      std::string list;
      for (const KeywordRow* row = a->table; row && row->name; ++row)
        list += std::string(list.empty() ? "" : ", ") + "`" + row->name + "`";
      words->push_back(list);
    }
  }
}

std::string squeeze(const std::string& s) {
  std::string out;
  for (char c : s) {
    bool blank = c == ' ' || c == '\n' || c == '\r' || c == '\t';
    if (blank) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

TEST(Reference, HasAnEntryForEndAssignmentAndEveryStatement) {
  Reference r = parse_reference();
  ASSERT_FALSE(r.text.empty()) << "docs/reference.md not found";
  std::set<std::string> want = {"END", "Assignment"};
  for (int i = 0; i < g_statement_count; ++i) want.insert(g_statements[i].name);
  EXPECT_EQ(r.statements, want);
}

TEST(Reference, EveryCommandHasItsSyntaxAndNoEntryIsExtra) {
  Reference r = parse_reference();
  ASSERT_FALSE(r.text.empty()) << "docs/reference.md not found";
  std::set<std::string> in_table;
  for (int i = 0; i < g_command_count; ++i) {
    const Command& c = g_commands[i];
    in_table.insert(c.name);
    auto it = r.commands.find(c.name);
    if (it == r.commands.end()) {
      ADD_FAILURE() << "no entry for the command " << c.name;
      continue;
    }
    std::string syntax;
    std::vector<std::string> words;
    render(c, &syntax, &words);
    EXPECT_EQ(it->second.syntax, syntax) << c.name;
    EXPECT_EQ(it->second.words, words) << c.name;
    EXPECT_NE(it->second.body.find("Errors:"), std::string::npos) << c.name << " lists no errors";
    EXPECT_NE(it->second.body.find("Example:"), std::string::npos) << c.name << " has no example";
  }
  for (const auto& e : r.commands)
    EXPECT_TRUE(in_table.count(e.first)) << "entry for a command that does not exist: " << e.first;
}

// The texts a script can be stopped with, or shown by a command, all appear
// in the reference. Line breaks inside a message are written as \n there.
TEST(Reference, DocumentsEveryMessage) {
  Reference r = parse_reference();
  ASSERT_FALSE(r.text.empty()) << "docs/reference.md not found";
  std::string text = squeeze(r.text);
  for (int m = MSG_SYNTAX; m <= MSG_TARVO_CAPTION; ++m) {
    if (m == MSG_INI_DELETE_TEXT) continue;  // a long warning; its caption is given
    std::string want;
    for (const char* p = msg_text(m); *p; ++p) want += *p == '\n' ? std::string("\\n") : std::string(1, *p);
    EXPECT_NE(text.find(squeeze(want)), std::string::npos) << "message not documented: " << want;
  }
  for (int m : {MSG_SWITCH, MSG_NO_ENDIF})
    EXPECT_NE(text.find(msg_text(m)), std::string::npos) << msg_text(m);
}
