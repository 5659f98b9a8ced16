# Sourced by the test command and the bench: a Wine prefix and a Japanese locale in a temporary
# folder (nothing in the user's home), so Windows builds run with the ANSI code page 932.
#   . scripts/wine-env.sh; wine_env_start; ...; wine_env_stop
# Exports WINEPREFIX, WINEDEBUG, VELLICOR_WINE (the Wine loader) and VELLICOR_WINE_LOCPATH.

wine_env_start() {
  VELLICOR_WINE_ROOT=$(mktemp -d /tmp/vellicor-wine.XXXXXX)
  export VELLICOR_WINE_ROOT
  export WINEPREFIX="$VELLICOR_WINE_ROOT/prefix" WINEDEBUG=-all
  # No menu entries written into the home folder, no Mono or Gecko to install.
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
  # ja_JP.UTF-8 compiled here (glibc finds it through LOCPATH, given to Wine's programs only: set
  # for every process it would change where all of them look for locales): Wine takes its code page
  # 932 from the locale's name and the Unix side's UTF-8 from its character set.
  export VELLICOR_WINE_LOCPATH="$VELLICOR_WINE_ROOT/locale"
  mkdir -p "$VELLICOR_WINE_LOCPATH"
  localedef -i ja_JP -f UTF-8 "$VELLICOR_WINE_LOCPATH/ja_JP.UTF-8" 2>/dev/null || true
  VELLICOR_WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
  export VELLICOR_WINE
  wine_run wineboot -i >/dev/null 2>&1
  # The server stays up between programs: otherwise each program after a pause of a few seconds
  # starts it and the prefix's services again (seconds each), which no Windows machine does.
  wineserver -p 2>/dev/null || true
}

wine_env_stop() {
  if [ -n "${VELLICOR_WINE_ROOT:-}" ] && [ -d "$VELLICOR_WINE_ROOT" ]; then
    WINEPREFIX="$VELLICOR_WINE_ROOT/prefix" wineserver -k 2>/dev/null || true
    rm -rf "$VELLICOR_WINE_ROOT"
  fi
}

# Runs a Windows program of this build under the prefix with the Japanese locale.
wine_run() {
  LOCPATH="$VELLICOR_WINE_LOCPATH" LC_ALL=ja_JP.UTF-8 "$VELLICOR_WINE" "$@"
}
