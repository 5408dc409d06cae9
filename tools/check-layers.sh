#!/bin/sh
# Fails when a file includes from a layer it may not see: the core never sees Qt or the
# windows, each core folder sees only the folders below it, and tools/ and bench/ never
# reach into tests/. Run from the repository (CTest runs it).
cd "$(dirname "$0")/.." || exit 2
status=0
# folder: the folders of src/ its files may include from
allowed() {
    case $1 in
    core/foundation) echo "core/foundation" ;;
    core/drugdb) echo "core/foundation core/drugdb" ;;
    core/startup) echo "core/foundation core/drugdb core/startup" ;;
    core/questions) echo "core/foundation core/drugdb core/questions" ;;
    core/export) echo "core/foundation core/export" ;;
    core/testbuilder) echo "core/foundation core/drugdb core/questions core/export core/testbuilder" ;;
    core/launcher) echo "core/foundation core/drugdb core/launcher" ;;
    core/headless) echo "core/foundation core/testbuilder core/headless" ;;
    core/student) echo "core/foundation core/drugdb core/startup core/questions core/export core/testbuilder core/student" ;;
    core/results) echo "core/foundation core/drugdb core/startup core/questions core/export core/testbuilder core/student core/results" ;;
    gui/common) echo "core gui/common" ;;
    gui/*) echo "core gui" ;;
    app) echo "core gui app" ;;
    *) echo "?" ;;
    esac
}
for file in $(find src -name '*.h' -o -name '*.cpp' | sort); do
    folder=$(dirname "${file#src/}")
    permitted=$(allowed "$folder")
    for included in $(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file"); do
        case $included in */*) ;; *) continue ;; esac
        ok=no
        for p in $permitted; do
            case $included in "$p"/*) ok=yes ;; esac
        done
        if [ $ok = no ]; then
            echo "$file: includes $included, outside $permitted"
            status=1
        fi
    done
    case $folder in core/*)
        if grep -n '^#include <Q' "$file"; then
            echo "$file: the core includes Qt"
            status=1
        fi ;;
    esac
done
if grep -rn '#include "\(support\|testbuilder/model_fixture\|hardening\)/' tools bench; then
    echo "tools/ or bench/ include from tests/"
    status=1
fi
if grep -rn 'tests' tools/CMakeLists.txt bench/CMakeLists.txt | grep -i include; then
    echo "tools/ or bench/ put tests/ on their include path"
    status=1
fi
exit $status
