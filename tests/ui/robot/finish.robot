# Finish page: check boxes only when switched on; Back, Cancel, Escape and the
# close box do nothing; Finish opens the readme in Notepad, then starts the
# application, each as recorded by a stand-in program.
delete-file ${LOG}
start ${HOST} --set ApplicationTitle=Beispiel finish
wait-window Setup 122
expect-text 1 "&Fertigstellen"
expect-text 50 "Setup abgeschlossen"
expect-visible 501 false
expect-visible 502 false
expect-enabled 12 false
expect-enabled 2 false
key escape
expect-stays 500
close
expect-stays 500
click 1
wait-exit 1
sleep 1000
expect-no-file ${LOG}

start ${HOST} --set DoneShowReadme=1 --set DoneShowLaunch=1 --set "DoneReadmePath=C:\\Programme\\Meine App\\liesmich.txt" --set DoneLaunchPath=${STANDIN_APP} finish
wait-window Setup 122
expect-text 501 "Ja, ich möchte die ReadMe-Datei lesen."
expect-text 502 "Ja, ich möchte die Anwendung nun starten."
expect-visible 501 true
expect-visible 502 true
expect-checked 501 false
click 501
click 502
expect-checked 501 true
expect-checked 502 true
click 1
wait-exit 1
expect-file-match ${LOG} "^\\d{20} notepad\\.exe show=5 cmdline=.*notepad\\.exe\"? C:\\\\Programme\\\\Meine App\\\\liesmich\\.txt\\r?\\n\\d{20} standin_app\\.exe show=5 cmdline=\\S*standin_app\\.exe\"? *\\r?\\n$"

# Only the application.
delete-file ${LOG}
start ${HOST} --set DoneShowReadme=1 --set DoneShowLaunch=1 --set DoneLaunchPath=${STANDIN_APP} finish
wait-window Setup 122
click 502
click 1
wait-exit 1
expect-file-match ${LOG} "^\\d{20} standin_app\\.exe show=5 cmdline=\\S*\\r?\\n$"
