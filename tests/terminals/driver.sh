#!/bin/sh
# Runs inside the terminal under test for matrix.py: names the window, then takes commands
# from the pipe WORK/cmd and answers each on WORK/ack once done. Usage: driver.sh WORK [TITLE]
#   show FILE  the cursor hidden, FILE written to the terminal (an ANSI frame)
#   size       the terminal's rows and columns into WORK/size
#   ready      colours reset, screen cleared, "ready" written and the cursor shown
#   play       runs $KAVEO (its process id in WORK/play.pid, its exit code in WORK/play.rc)
#   half       the same in the half layout in 256 colours (16 mix the first second's grey
#              dots to black: no half blocks), through script, which keeps the output in
#              WORK/half.out
#   quit       ends the driver, and so the terminal
cd "$1" || exit 1
[ -z "$2" ] || printf '\033]2;%s\007' "$2"
printf '\033[?25l'
exec 3<cmd 4>ack
while IFS= read -r line <&3; do
    case $line in
    show\ *) printf '\033[?25l'; cat "${line#show }" ;;
    size) stty size >size ;;
    ready) printf '\033[0m\033[H\033[2Jready\r\n\033[?25h' ;;
    play) sh -c 'echo $$ >play.pid; exec "$KAVEO"'; echo $? >play.rc ;;
    half) SHELL=/bin/sh script -q -e \
        -c 'echo $$ >play.pid; exec "$KAVEO" --layout half --colors 256' half.out
        echo $? >play.rc ;;
    quit) exit 0 ;;
    esac
    echo "$line" >&4
done
