# Readme page: the text, Back and Next.
start ${HOST} --file ReadmeText=${DATA}\readme.rtf readme readme
wait-window Setup 131
expect-text 50 Liesmich-Datei
expect-text 1008 "Bitte lesen Sie die folgende Liesmich-Datei mit wichtigen Informationen."
expect-text-contains 301 "größere Symbole"
expect-enabled 1 true
expect-enabled 12 true
click 1
wait-window Setup 131
click 12
wait-exit 12
