# Ready page: texts, Install, Back, and cancel by the close box.
start ${HOST} ready
wait-window Setup 120
expect-text 1 Installieren
expect-text 50 "Bereit zur Installation"
expect-text 51 "Setup ist bereit für die Programminstallation."
expect-text 711 "Klicken Sie auf Installieren, um die Installation zu beginnen.\n\nUm die Installationseinstellungen zu überprüfen, klicken Sie auf zurück. Klicken Sie auf Abbrechen, um den Assistenten zu beenden."
close
answer-msgbox no Abbrechen
expect-stays 300
click 12
wait-exit 12

start ${HOST} ready
wait-window Setup 120
click 1
wait-exit 1
