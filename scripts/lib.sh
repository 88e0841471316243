# Shell functions shared by the project's scripts; source it, do not run it.
#   . "$root/scripts/lib.sh"
# shellcheck shell=bash

# The wineserver of the Wine the project runs under: the one wrapper that
# picks the 64-bit server, which serves 32-bit programs too.
wine_server() {
  /usr/lib/wine/wineserver "$@"
}

# A Windows path for a file of this machine, on Wine's drive Z:.
windows_path() {
  echo "Z:${1//\//\\}"
}

# Starts a private Xvfb on the first free display from FIRST on (scripts that
# may run at once start from different numbers), exports DISPLAY and sets
# xvfb_pid. Stop it with stop_xvfb.
start_xvfb() {
  local n
  for n in $(seq "$1" $(($1 + 49))); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      xvfb_pid=$!
      export DISPLAY=":$n"
      return 0
    fi
  done
  echo "no free X display from :$1 on" >&2
  return 1
}

stop_xvfb() {
  if [ -n "${xvfb_pid:-}" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
  fi
}

# Answers the robot's screenshot requests until killed: the robot writes
# WORK/NAME.rect holding "left top width height" and waits for WORK/NAME.png;
# the picture goes to SHOTS/NAME.png, cut from a capture of the X screen.
watch_screenshot_requests() {
  local work=$1 shots=$2 request name left top width height
  while true; do
    for request in "$work"/*.rect; do
      [ -e "$request" ] || continue
      name=$(basename "$request" .rect)
      read -r left top width height <"$request"
      xwd -root -silent -display "$DISPLAY" |
        convert xwd:- -crop "${width}x${height}+${left}+${top}" +repage "$shots/$name.png"
      touch "$work/$name.png"
      rm -f "$request"
    done
    sleep 0.2
  done
}

# Configures the build tree build/TREE (or $TOLVANEX_BUILD_DIR/TREE) when it
# is new, with the compilers and options that tree always has:
#   native   host g++, portable parts, tolvanex-build, unit tests
#   sanitize host clang with ASan + UBSan, and the libFuzzer targets
#   win64    MinGW x86_64, everything; its tests run under Wine
#   win32    MinGW i686, the product
#   win64-product  MinGW x86_64, the product for 64-bit Windows (its two
#            programs only are built)
configure_tree() {
  local tree=$1 build=${TOLVANEX_BUILD_DIR:-$root/build}
  local flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
  case $tree in
    native) flags+=(-DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc) ;;
    sanitize) flags+=(-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
                      -DTOLVANEX_SANITIZE=ON -DTOLVANEX_FUZZ=ON) ;;
    win64) flags+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake") ;;
    win32) flags+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
                   -DCMAKE_BUILD_TYPE=MinSizeRel -DTOLVANEX_TESTS=OFF) ;;
    win64-product) flags+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64-product.cmake"
                           -DCMAKE_BUILD_TYPE=MinSizeRel -DTOLVANEX_TESTS=OFF) ;;
    *) echo "unknown build tree $tree" >&2; return 1 ;;
  esac
  [ -f "$build/$tree/CMakeCache.txt" ] ||
    cmake -S "$root" -B "$build/$tree" -G Ninja "${flags[@]}" >/dev/null
}

# Copies the product's programs beside the native tree's tolvanex-build,
# where build looks for them by default, under the names of their
# architecture: setup-x86.exe and uninstall-x86.exe from the win32 tree,
# setup-x64.exe and uninstall-x64.exe from the win64-product tree (when it
# has them).
place_product_beside_builder() {
  local build=${TOLVANEX_BUILD_DIR:-$root/build}
  local beside=$build/native/tools/builder tree architecture program
  mkdir -p "$beside"
  cp "$root/resources/pictures/left.jpg" "$root/resources/pictures/top.jpg" "$beside/"
  for tree in win32:x86 win64-product:x64; do
    architecture=${tree#*:}
    tree=${tree%:*}
    for program in driver/setup uninstall/uninstall; do
      if [ -f "$build/$tree/$program.exe" ]; then
        cp "$build/$tree/$program.exe" "$beside/${program#*/}-$architecture.exe"
      elif [ "$tree" = win32 ]; then
        echo "no $build/$tree/$program.exe" >&2
        return 1
      fi
    done
  done
}

# Lays out the example's build script for one build tree in STAGE: the
# script, payload/ leading to examples/payload and programs/ to the tree's
# examples/ folder, where beispiel.exe and beispieldienst.exe are.
#   stage_example SOURCE_ROOT TREE_EXAMPLES_DIR STAGE
stage_example() {
  local source=$1 programs=$2 stage=$3
  rm -rf "$stage"
  mkdir -p "$stage"
  cp "$source/examples/build.ini" "$stage/build.ini"
  ln -s "$source/examples/payload" "$stage/payload"
  ln -s "$programs" "$stage/programs"
}
