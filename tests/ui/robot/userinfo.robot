# User-information page: the registered names to start with; typed names are
# kept by Next only, for a later showing and as the placeholder values.
delete-file ${OUT}\state.txt
start ${HOST} --state ${OUT}\state.txt --set "RegisteredUserName=Erika Muster" --set "RegisteredCompanyName=Beispiel AG" userinfo userinfo userinfo
wait-window Setup 115
expect-text 50 Benutzerinformationen
expect-text 1007 "&Benutzername:"
expect-text 301 "Erika Muster"
expect-text 302 "Beispiel AG"
type 301 "Jürgen Müller"
type 302 "Müller & Söhne"
click 1
expect-file-line ${OUT}\state.txt "page=userinfo result=1"
expect-file-line ${OUT}\state.txt "UserName=Jürgen Müller"
expect-file-line ${OUT}\state.txt "CompanyName=Müller & Söhne"
expect-file-line ${OUT}\state.txt "RegisteredUserName=Jürgen Müller"
expect-file-line ${OUT}\state.txt "RegisteredCompanyName=Müller & Söhne"

# A later showing shows what was typed; Back forgets new typing.
wait-window Setup 115
expect-text 301 "Jürgen Müller"
expect-text 302 "Müller & Söhne"
type 301 Vergessen
click 12
expect-file-line ${OUT}\state.txt "page=userinfo result=12"

wait-window Setup 115
expect-text 301 "Jürgen Müller"
type 302 "Auch vergessen"
key escape
answer-msgbox yes Abbrechen
wait-exit 2
expect-file-lacks ${OUT}\state.txt Vergessen
expect-file-lacks ${OUT}\state.txt "Auch vergessen"
