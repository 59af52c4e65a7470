#!/bin/sh
# Starts the installed game. The game opens its models and sounds by paths
# relative to its working directory, so it runs from its own folder; this
# script finds that folder from its own place, so it works under any prefix
# and from any directory the player is in.
set -e

launcher=$(readlink -f -- "$0")
game_bin=$(dirname -- "$launcher")/../lib/games/stickfight/bin

# A controls file named relative to the player's directory must still be found
# once the game runs from its own.
absolute() {
    case $1 in
        /* | "") printf '%s\n' "$1" ;;
        *) printf '%s/%s\n' "$PWD" "$1" ;;
    esac
}

controls_value=false
options_ended=false
for argument do
    shift
    if $controls_value; then
        argument=$(absolute "$argument")
        controls_value=false
    elif ! $options_ended; then
        case $argument in
            --) options_ended=true ;;
            --controls | -controls) controls_value=true ;;
            --controls=* | -controls=*) argument=${argument%%=*}=$(absolute "${argument#*=}") ;;
        esac
    fi
    set -- "$@" "$argument"
done

cd "$game_bin"
exec ./stickfight "$@"
