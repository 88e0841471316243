# Welcome page: texts, Back disabled, "Info...", cancel confirmation by
# Escape and by the close box, and Enter as Next.
set CANCEL_TEXT "Setup wurde noch nicht vollständig durchgeführt. Wenn Sie Setup nun beenden, wird die Software nicht korrekt installiert werden.\n\nMöchten Sie Setup nun wirklich abbrechen?"
set ABOUT_TEXT "Tolvanex Setup 1.0\n\nInstallations-Assistent für Windows.\n\n© 2024 Tolvanex-Projekt. Alle Rechte vorbehalten."
set WELCOME_TEXT "Der Setup-Assistent wird Beispiel auf Ihrem Computer installieren. Um forzufahren, klicken Sie auf Weiter."

start ${HOST} --set ApplicationTitle=Beispiel welcome
wait-window Setup 101
expect-caption Setup
expect-text 50 "Willkommen beim Setup-Assistenten für Beispiel"
expect-text 710 ${WELCOME_TEXT}
expect-text 760 ""
expect-text 1 "&Weiter >"
expect-text 12 "< &Zurück"
expect-text 2 "Abbrechen"
expect-enabled 12 false
expect-enabled 1 true
expect-enabled 2 true

# "Info..." shows the about box; the page stays as it was.
info
answer-msgbox ok "Info..." ${ABOUT_TEXT}
expect-stays 300
expect-text 50 "Willkommen beim Setup-Assistenten für Beispiel"

# Escape asks; No keeps the page exactly as it was.
key escape
answer-msgbox no Abbrechen ${CANCEL_TEXT}
expect-stays 500
expect-text 710 ${WELCOME_TEXT}
expect-enabled 12 false
expect-enabled 1 true

# The close box asks the same question; Yes ends the page with 2.
close
answer-msgbox yes Abbrechen ${CANCEL_TEXT}
wait-exit 2

# Enter is Next.
start ${HOST} welcome
wait-window Setup 101
key enter
wait-exit 1

# The Cancel button asks too.
start ${HOST} welcome
wait-window Setup 101
click 2
answer-msgbox yes Abbrechen ${CANCEL_TEXT}
wait-exit 2
