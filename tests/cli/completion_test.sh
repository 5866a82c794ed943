#!/usr/bin/env bash
# vell's bash completion, one command line a row: the words offered for its last word.
#   completion_test.sh VELL COMPLETION_SCRIPT   (VELL_SAMPLE_GAME: the sample game folder)
set -uo pipefail
vell=$1
source "$2"
game=$VELL_SAMPLE_GAME
work=$(mktemp -d "${TMPDIR:-/tmp}/vell-completion-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/out1" "$work/out2"
touch "$work/outfile"
failures=0

# complete "WORDS..." EXPECTED... : the last word is the one completed; EXPECTED are the
# words offered, exactly ("-" alone: none), or "~WORD" for one that must be among them.
check() {
    local line=$1
    shift
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *' ' ]] && COMP_WORDS+=("")
    COMP_WORDS[0]=$vell
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _vell
    local got=""
    ((${#COMPREPLY[@]} == 0)) || got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
    local want=() contains=()
    for w in "$@"; do
        case $w in
        '~'*) contains+=("${w#'~'}") ;;
        -) ;;
        *) want+=("$w") ;;
        esac
    done
    if ((${#contains[@]} == 0)); then
        local expected
        expected=$(printf '%s\n' "${want[@]}" | sed '/^$/d' | sort | tr '\n' ' ')
        [ "$got" = "$expected" ] || { echo "FAIL: '$line': got [$got] want [$expected]"; failures=$((failures + 1)); }
    else
        for w in "${contains[@]}"; do
            [[ " $got" == *" $w "* ]] || { echo "FAIL: '$line': [$got] lacks $w"; failures=$((failures + 1)); }
        done
    fi
}

G=$game
W=$work
check "vell " '~list' '~tree' '~extract' '~info' '~texture' '~obj' '~gltf' '~frames' \
    '~make-sample' '~help' '~--help' '~--version'
check "vell fr" frames
check "vell --v" --version
check "vell help te" texture
check "vell obj --" '~--attach' '~--ani' '~--anim' '~--frame' '~--hide' '~--mtl' '~--each' \
    '~--jobs' '~--no-version-check' '~--help'
check "vell frames $G x --s" --size
check "vell list $W/ou" "$W/out1" "$W/out2"
check "vell make-sample $W/ou" "$W/out1" "$W/out2"
check "vell info $G ch" chars/
check "vell info $G chars/hero/hero.s" chars/hero/hero.skn
check "vell info $G /chars/hero/hero.s" chars/hero/hero.skn
check "vell obj $G chars/hero/hero.skn --ani chars/hero/hero_b" chars/hero/hero_bow.ani
check "vell obj $G --each ch" chars/
check "vell obj $G chars/hero/hero.skn -o $W/ou" "$W/out1" "$W/out2"
check "vell gltf $G chars/hero/hero.skn -o $W/ou" "$W/out1" "$W/out2" "$W/outfile"
check "vell gltf $G chars/hero/hero.skn --format " glb gltf
check "vell frames $G chars/hero/hero.skn --size " -
check "vell frames $G chars/hero/hero.skn --size 64x64 --ani chars/hero/hero.a" chars/hero/hero.ani
check "vell info $W/out1 ch" -
# A path opened with a quote, as the README writes them, with / or \ between folders.
check "vell info $G 'chars/hero/hero.s" chars/hero/hero.skn
check "vell info $G '\\chars\\hero\\hero.a" chars/hero/hero.ani
check "vell info $G \"chars/hero/hero.m" chars/hero/hero.msh
check "vell extract $G chars/hero/hero.skn ch" chars/
# diff takes two game folders, and --extract a folder.
check "vell diff $W/ou" "$W/out1" "$W/out2"
check "vell diff $G $W/ou" "$W/out1" "$W/out2"
check "vell diff $G $G --extract $W/ou" "$W/out1" "$W/out2"
check "vell diff $G $G ch" -
# With --each, -o is a folder.
check "vell gltf $G --each chars -o $W/ou" "$W/out1" "$W/out2"
check "vell gltf $G -o $W/ou" "$W/out1" "$W/out2" "$W/outfile"
check "vell make-sample $W/out1 $W/ou" -
HOME=$(dirname "$game") check "vell info ~/$(basename "$game") chars/hero/hero.a" chars/hero/hero.ani
check "vell bogus " -
[ "$failures" -eq 0 ]
