# Progress page: all three buttons disabled, Escape and the close box do
# nothing, and 20480 + 20480 of 409600 bytes put the bar at 10.
delete-file ${OUT}\state.txt
start ${HOST} --state ${OUT}\state.txt --set ApplicationTitle=Beispiel --set AppBytesTotal=409600 --progress 20480,20480 --hold-ms 60000 progress
wait-window Setup 121
expect-text 50 Installation
expect-text 710 "Beispiel Setup führt die gewünschten Aktionen durch. Bitte warten..."
expect-enabled 1 false
expect-enabled 12 false
expect-enabled 2 false
expect-progress 1500 10
expect-file-line ${OUT}\state.txt "BytesInstalled=40960"
key escape
expect-stays 500
close
expect-stays 500
expect-enabled 2 false
terminate
