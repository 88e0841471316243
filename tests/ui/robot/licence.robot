# Licence page: acceptance toggles Next by click, mnemonic and arrow keys;
# Enter does nothing while Next is disabled; the text is shown formatted.
start ${HOST} --file LicenceText=${DATA}\license.rtf licence licence
wait-window Setup 107
expect-text 50 Lizenzvereinbarung
expect-text 51 "Bitte lesen Sie die folgende Lizenzvereinbarung sorgfältig durch."
expect-text-contains 301 "Lizenzvertrag für Beispiel"
expect-text-contains 301 "ohne Gewährleistung"
expect-checked 1001 true
expect-checked 1000 false
expect-enabled 1 false
expect-enabled 12 true
expect-enabled 2 true

key enter
expect-stays 500
expect-enabled 1 false

click 1000
expect-checked 1000 true
expect-enabled 1 true
click 1001
expect-checked 1001 true
expect-enabled 1 false

key alt+s
expect-checked 1000 true
expect-enabled 1 true
key alt+n
expect-checked 1001 true
expect-enabled 1 false
key up
expect-checked 1000 true
expect-enabled 1 true

# No on the cancel question leaves the acceptance as it was.
key escape
answer-msgbox no Abbrechen
expect-stays 300
expect-checked 1000 true
expect-enabled 1 true
click 1

# The second showing starts declined again: acceptance is not stored.
wait-window Setup 107
expect-checked 1001 true
expect-checked 1000 false
expect-enabled 1 false
click 12
wait-exit 12
