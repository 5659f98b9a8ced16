// Parsing of the command line. Flags may come in any order after the command; a password is never
// taken from an argument.
#include "app/cli_options.h"

#include <map>

#ifndef VELLICOR_VERSION
#define VELLICOR_VERSION "unknown"
#endif

namespace vellicor::app {

namespace {

// Each command's lines of the usage, in the order the full usage lists them.
struct CommandUsage {
  const char* command;
  const char* lines;
};
constexpr CommandUsage kCommandUsages[] = {
    {"run",
     "  vellicor run -s SERVER -u USER -o OUT.mdb [--views] [--synonyms] [--no-tables] [--sequences]\n"
     "               [--select \"A,B\"] [--pattern NAME] [--pattern-file PATH] [--log PATH | --no-log]\n"
     "               [--append] [--prefix TEXT] [--all-types] [--yes] [--connect TEMPLATE] [--password-file PATH]\n"
     "               [--quiet] [--keep-going] [--fit-text] [--no-keys]\n"
     "      --all-types  RAW などのバイナリ、時刻、GUID、期間やドライバ独自の型も変換します\n"
     "                   (指定しなければ、これらの型の列で実行が止まります)\n"
     "      --keep-going コピーできないオブジェクトを除外して続行します (除外があれば終了コード 4)\n"
     "      --fit-text   作成前に行を読み、値がすべて 255 バイト以内に収まるメモ型の列をその長さのテキスト型にします\n"
     "      --no-keys    主キーと一意インデックスを作らず、テーブルをインデックスなしで作成します\n"},
    {"plan",
     "  vellicor plan -s SERVER -u USER [run と同じオプション (-o は不要)] [--json] [--scan]\n"
     "      実行せずに、実行がどのオブジェクトをコピー・スキップし、どこで止まるかを表示します\n"
     "      (実行が最後まで完了するなら終了コード 0、止まるなら 1)。--append と -o を指定すると\n"
     "      既存ファイルのテーブル名も考慮します。\n"
     "      --json  結果を 1 つの JSON 文書で出力します\n"
     "      --scan  全行を読み、列ごとの最長の値とシフトJISで表せない文字の数を調べます\n"},
    {"list",
     "  vellicor list -s SERVER -u USER [--views] [--synonyms] [--no-tables] [--connect TEMPLATE]\n"
     "               [--password-file PATH]\n"},
    {"inspect",
     "  vellicor inspect FILE.mdb [TABLE]\n"
     "  vellicor inspect --check FILE.mdb     (ファイル全体の検査: 問題がなければ終了コード 0、あれば 1)\n"},
    {"demo", "  vellicor demo OUT.mdb [--yes]\n"},
};

constexpr const char* kUsageNotes =
    "パスワードは環境変数 VELLICOR_PASSWORD、--password-file、または端末からの入力で与えます。\n"
    "接続文字列の雛形: --connect、環境変数 VELLICOR_CONNECT、既定は Oracle ODBC ドライバ。\n";

std::string fullUsage() {
  std::string text = "使い方:\n";
  for (const CommandUsage& u : kCommandUsages) text += u.lines;
  text += "  vellicor --help | vellicor COMMAND --help | vellicor --version\n";
  return text + kUsageNotes;
}

}  // namespace

const char* usageText() {
  static const std::string text = fullUsage();
  return text.c_str();
}

std::string commandUsage(const std::string& command) {
  for (const CommandUsage& u : kCommandUsages) {
    if (command == u.command) return std::string("使い方:\n") + u.lines + kUsageNotes;
  }
  return {};
}

std::string versionText() { return std::string("vellicor ") + VELLICOR_VERSION + "\n"; }

std::optional<CliOptions> parseCli(int argc, char** argv, std::string& error) {
  CliOptions o;
  if (argc < 2) {
    error = "コマンドがありません。";
    return std::nullopt;
  }
  o.command = argv[1];
  const std::map<std::string, std::string*> valued = {
      {"-s", &o.server}, {"--server", &o.server}, {"-u", &o.user}, {"--user", &o.user},
      {"-o", &o.output}, {"--output", &o.output}, {"--prefix", &o.prefix}};
  const std::map<std::string, std::optional<std::string>*> optionalValued = {
      {"--select", &o.select}, {"--pattern", &o.pattern}, {"--pattern-file", &o.patternFile},
      {"--log", &o.log},       {"--connect", &o.connect}, {"--password-file", &o.passwordFile}};
  const std::map<std::string, std::pair<bool*, bool>> switches = {
      {"--views", {&o.views, true}},       {"--synonyms", {&o.synonyms, true}}, {"--no-tables", {&o.tables, false}},
      {"--tables", {&o.tables, true}},     {"--sequences", {&o.sequences, true}}, {"--no-log", {&o.noLog, true}},
      {"--append", {&o.append, true}},     {"--yes", {&o.yes, true}},           {"--quiet", {&o.quiet, true}},
      {"--check", {&o.check, true}},       {"--all-types", {&o.allTypes, true}}, {"--json", {&o.json, true}},
      {"--scan", {&o.scan, true}},         {"--help", {&o.help, true}},         {"-h", {&o.help, true}},
      {"--keep-going", {&o.keepGoing, true}}, {"--fit-text", {&o.fitText, true}},
      {"--no-keys", {&o.noKeys, true}}};
  for (int i = 2; i < argc; ++i) {
    const std::string word = argv[i];
    if (auto it = valued.find(word); it != valued.end()) {
      if (i + 1 >= argc) {
        error = word + " には値が必要です。";
        return std::nullopt;
      }
      *it->second = argv[++i];
    } else if (auto ot = optionalValued.find(word); ot != optionalValued.end()) {
      if (i + 1 >= argc) {
        error = word + " には値が必要です。";
        return std::nullopt;
      }
      *ot->second = argv[++i];
    } else if (auto st = switches.find(word); st != switches.end()) {
      *st->second.first = st->second.second;
    } else if (word == "-p" || word == "--password") {
      error = "パスワードは引数では受け付けません。VELLICOR_PASSWORD か --password-file を使ってください。";
      return std::nullopt;
    } else if (word.size() > 1 && word[0] == '-') {
      error = "不明なオプションです: " + word;
      return std::nullopt;
    } else {
      o.positional.push_back(word);
    }
  }
  if (o.log && o.noLog) {
    error = "--log と --no-log は同時に指定できません。";
    return std::nullopt;
  }
  return o;
}

}  // namespace vellicor::app
