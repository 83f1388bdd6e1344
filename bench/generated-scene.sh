# Sourced by the timing scripts of bench/: takes [build dir] [side] [joints]
# [influences] from the script's arguments, makes a scratch folder `$work` that is
# removed on exit, and writes the skinned grid of bench/export to $work/large.ma
# with kv_generate_scene.
build=${1:-build/release}
side=${2:-1000}
joints=${3:-100}
influences=${4:-4}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/kv_generate_scene" "$work/large.ma" "$side" "$joints" "$influences"
export MAYA_APP_DIR="$work/maya"
