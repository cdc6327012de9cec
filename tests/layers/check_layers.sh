#!/usr/bin/env bash
# Fails when a source file includes a folder above its own layer, or when one
# mode includes another: platform < files < base < store < the modes <
# program.
set -u
src=${1:?usage: check_layers.sh SRC_DIR}
rank() {
  case $1 in
    platform) echo 0 ;; files) echo 1 ;; base) echo 2 ;; store) echo 3 ;;
    inbound | check | report) echo 4 ;; program) echo 5 ;; *) echo 9 ;;
  esac
}
bad=0
checked=0
for file in "$src"/*/*; do
  folder=$(basename "$(dirname "$file")")
  while IFS= read -r target; do
    checked=$((checked + 1))
    if [ "$(rank "$folder")" -eq 9 ] || [ "$(rank "$target")" -gt "$(rank "$folder")" ] ||
      { [ "$(rank "$target")" -eq 4 ] && [ "$target" != "$folder" ] && [ "$(rank "$folder")" -eq 4 ]; }; then
      echo "${file#"$src"/} includes $target/, which is not below it"
      bad=$((bad + 1))
    fi
  done < <(sed -n 's|^#include "\([a-z]*\)/.*|\1|p' "$file")
done
echo "$checked includes checked, $bad pointing the wrong way"
[ "$checked" -gt 0 ] && [ "$bad" -eq 0 ]
