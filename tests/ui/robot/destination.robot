# Destination page: its texts, the folder browser preselecting the folder that
# holds the destination, Cancel in the browser changing nothing, OK taking the
# folder as the shell names it.
delete-file ${OUT}\state.txt
start ${HOST} --state ${OUT}\state.txt --set ApplicationTitle=Beispiel --set DestinationDirectory=C:\windows\system32 destination
wait-window Setup 117
expect-text 50 "Zielverzeichnis wählen"
expect-text 718 "Beispiel wird in das folgende Verzeichnis installiert:"
expect-text 715 C:\windows\system32
expect-text 196 "&Ändern..."

click 196
wait-window *
expect-text-contains 14146 "Zielverzeichnis auswählen:"
click 2
use-window Setup 117
expect-text 715 C:\windows\system32

click 196
wait-window *
click 1
use-window Setup 117
expect-text 715 C:\windows
click 12
wait-exit 12
expect-file-line ${OUT}\state.txt "page=destination result=12"
expect-file-line ${OUT}\state.txt "DestinationDirectory=C:\\windows"

# A drive root keeps its backslash.
start ${HOST} --set DestinationDirectory=C:\ destination
wait-window Setup 117
click 196
wait-window *
click 1
use-window Setup 117
expect-text 715 C:\
click 1
wait-exit 1
