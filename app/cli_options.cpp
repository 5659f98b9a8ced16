// Parsing of the command line. Flags may come in any order after the command; a password is never
// taken from an argument.
#include "app/cli_options.h"

#include <map>

namespace vellicor::app {

const char* usageText() {
  return "使い方:\n"
         "  vellicor run -s SERVER -u USER -o OUT.mdb [--views] [--synonyms] [--no-tables] [--sequences]\n"
         "               [--select \"A,B\"] [--pattern NAME] [--pattern-file PATH] [--log PATH | --no-log]\n"
         "               [--append] [--prefix TEXT] [--yes] [--connect TEMPLATE] [--password-file PATH] [--quiet]\n"
         "               [--keep-going]  (コピーできないオブジェクトを除外して続行、除外があれば終了コード 4)\n"
         "  vellicor list -s SERVER -u USER [--views] [--synonyms] [--no-tables] [--connect TEMPLATE]\n"
         "               [--password-file PATH]\n"
         "  vellicor inspect FILE.mdb [TABLE]\n"
         "  vellicor inspect --check FILE.mdb     (ファイル全体の検査: 問題がなければ終了コード 0、あれば 1)\n"
         "  vellicor demo OUT.mdb [--yes]\n"
         "パスワードは環境変数 VELLICOR_PASSWORD、--password-file、または端末からの入力で与えます。\n"
         "接続文字列の雛形: --connect、環境変数 VELLICOR_CONNECT、既定は Oracle ODBC ドライバ。\n";
}

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
      {"--check", {&o.check, true}},       {"--keep-going", {&o.keepGoing, true}}};
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
