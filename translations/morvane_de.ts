<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Morvane</name>
    <message>
        <source>OK</source>
        <comment>OK button</comment>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <comment>Cancel button</comment>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Send error report…</source>
        <comment>Send error report…</comment>
        <translation>Fehlerbericht senden …</translation>
    </message>
    <message>
        <source>No target folder</source>
        <comment>Alert title when no target is selected</comment>
        <translation>Kein Zielordner</translation>
    </message>
    <message>
        <source>Please choose a target folder where the converted files should be stored</source>
        <comment>Alert message when no target is selected</comment>
        <translation>Bitte wählen Sie einen Zielordner, in dem die konvertierten Dateien gespeichert werden sollen</translation>
    </message>
    <message>
        <source>Before we start conversion</source>
        <comment>Alert title before conversion starts</comment>
        <translation>Bevor die Konvertierung beginnt</translation>
    </message>
    <message>
        <source>Close all open documents in Pages, Numbers and Keynote. Confirm to continue…</source>
        <comment>Alert message before conversion starts</comment>
        <translation>Schließen Sie alle geöffneten Dokumente in Pages, Numbers und Keynote. Bestätigen Sie, um fortzufahren …</translation>
    </message>
    <message>
        <source>Success</source>
        <comment>Alert title when conversion completed successfully</comment>
        <translation>Erfolgreich</translation>
    </message>
    <message>
        <source>Did complete conversion.</source>
        <comment>Alert message when conversion completed</comment>
        <translation>Die Konvertierung ist abgeschlossen.</translation>
    </message>
    <message>
        <source>Error</source>
        <comment>Alert title when an error was received from the AppleScript</comment>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Conversion cancelled</source>
        <comment>Alert title when the user cancelled a conversion</comment>
        <translation>Konvertierung abgebrochen</translation>
    </message>
    <message>
        <source>A conversion is running</source>
        <comment>Alert title when the window is closed during a conversion</comment>
        <translation>Eine Konvertierung läuft</translation>
    </message>
    <message>
        <source>Cancel the conversion and close the window? What is converted stays.</source>
        <comment>Alert message when the window is closed during a conversion</comment>
        <translation>Die Konvertierung abbrechen und das Fenster schließen? Bereits Konvertiertes bleibt erhalten.</translation>
    </message>
    <message>
        <source>This is Morvane %1. Updates come from your system&apos;s package manager: install them with your software updater or apt.</source>
        <comment>Shown by Check for Updates on systems whose packages bring updates</comment>
        <translation>Dies ist Morvane %1. Aktualisierungen kommen über die Paketverwaltung Ihres Systems: Installieren Sie sie mit der Softwareaktualisierung oder mit apt.</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <comment>Update window title</comment>
        <translation>Nach Aktualisierungen suchen</translation>
    </message>
    <message>
        <source>Choose Target Folder</source>
        <comment>Title of the target folder chooser</comment>
        <translation>Zielordner wählen</translation>
    </message>
    <message>
        <source>There was an error during the conversion.</source>
        <comment>Alert message when conversion failed</comment>
        <translation>Bei der Konvertierung ist ein Fehler aufgetreten.</translation>
    </message>
    <message>
        <source>What was converted before the cancel stays in the target folder.</source>
        <comment>Alert message when the user cancelled a conversion</comment>
        <translation>Was vor dem Abbruch konvertiert wurde, bleibt im Zielordner.</translation>
    </message>
</context>
<context>
    <name>morvane::AboutDialog</name>
    <message>
        <source>Version %1</source>
        <comment>About window</comment>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>MIT License</source>
        <comment>About window: the licence</comment>
        <translation>MIT-Lizenz</translation>
    </message>
    <message>
        <source>About %1</source>
        <comment>Title of the About window</comment>
        <translation>Über %1</translation>
    </message>
    <message>
        <source>Converts documents between iWork and Microsoft Office formats, and to PDF.</source>
        <comment>About window: what the application does</comment>
        <translation>Konvertiert Dokumente zwischen iWork- und Microsoft-Office-Formaten und nach PDF.</translation>
    </message>
    <message>
        <source>Support: %1</source>
        <comment>About window: the support mail address</comment>
        <translation>Support: %1</translation>
    </message>
</context>
<context>
    <name>morvane::AddFilesPanel</name>
    <message>
        <source>Up</source>
        <comment>Open panel: go to the enclosing folder</comment>
        <translation>Nach oben</translation>
    </message>
    <message>
        <source>Add Files</source>
        <comment>Title of the panel that adds files for conversion</comment>
        <translation>Dateien hinzufügen</translation>
    </message>
    <message>
        <source>Folder contents</source>
        <comment>Open panel: accessible name of the listing</comment>
        <translation>Ordnerinhalt</translation>
    </message>
    <message>
        <source>Places</source>
        <comment>Open panel: accessible name of the places list</comment>
        <translation>Orte</translation>
    </message>
    <message>
        <source>Open</source>
        <comment>Open panel: add the chosen items</comment>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <comment>Cancel button</comment>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Home</source>
        <comment>Open panel: the place of the home folder</comment>
        <translation>Persönlicher Ordner</translation>
    </message>
    <message>
        <source>Desktop</source>
        <comment>Open panel: the place of the desktop folder</comment>
        <translation>Schreibtisch</translation>
    </message>
    <message>
        <source>Documents</source>
        <comment>Open panel: the place of the documents folder</comment>
        <translation>Dokumente</translation>
    </message>
    <message>
        <source>Computer</source>
        <comment>Open panel: the place of the root folder</comment>
        <translation>Rechner</translation>
    </message>
    <message>
        <source>Location</source>
        <comment>Open panel: accessible name of the typed path</comment>
        <translation>Ort</translation>
    </message>
</context>
<context>
    <name>morvane::BackendDescription</name>
    <message>
        <source>Not available: %1</source>
        <comment>About window: why the LibreOffice version is missing</comment>
        <translation>Nicht verfügbar: %1</translation>
    </message>
    <message>
        <source>(the system&apos;s)</source>
        <comment>About window: the iWork reader is the system&apos;s own</comment>
        <translation>(vom System)</translation>
    </message>
    <message>
        <source>iWork reader: %1</source>
        <comment>About window: the version of the iWork reader</comment>
        <translation>iWork-Leser: %1</translation>
    </message>
</context>
<context>
    <name>morvane::ContentView</name>
    <message>
        <source>Files to convert</source>
        <comment>Accessible name of the file list</comment>
        <translation>Zu konvertierende Dateien</translation>
    </message>
    <message>
        <source>Add files for conversion…</source>
        <comment>Tooltip for add files button</comment>
        <translation>Dateien zum Konvertieren hinzufügen …</translation>
    </message>
    <message>
        <source>Remove the selected entries from the list</source>
        <comment>Tooltip for the button that removes the selected files</comment>
        <translation>Die ausgewählten Einträge aus der Liste entfernen</translation>
    </message>
    <message>
        <source>Add files</source>
        <comment>Toolbar button that adds files</comment>
        <translation>Dateien hinzufügen</translation>
    </message>
    <message>
        <source>Remove from list</source>
        <comment>Toolbar button that removes the selected files</comment>
        <translation>Aus der Liste entfernen</translation>
    </message>
</context>
<context>
    <name>morvane::EmptyFileListView</name>
    <message>
        <source>No files added yet</source>
        <comment>Shown while the file list is empty</comment>
        <translation>Noch keine Dateien hinzugefügt</translation>
    </message>
    <message>
        <source>Drag and drop files and folders or click the `+` button above here to start </source>
        <comment>Hint shown while the file list is empty</comment>
        <translation>Ziehen Sie Dateien und Ordner hierher oder klicken Sie oben auf „+“, um zu beginnen </translation>
    </message>
</context>
<context>
    <name>morvane::ErrorReportDialog</name>
    <message>
        <source>Error Report</source>
        <comment>Title of the window with an error report no mail program took</comment>
        <translation>Fehlerbericht</translation>
    </message>
    <message>
        <source>No mail program could take the error report.</source>
        <comment>Error report window: why it is shown</comment>
        <translation>Kein Mailprogramm konnte den Fehlerbericht übernehmen.</translation>
    </message>
    <message>
        <source>Copy the report or save it as a file, and send it by mail to %1.</source>
        <comment>Error report window: what to do; %1 is the support mail address</comment>
        <translation>Kopieren Sie den Bericht oder speichern Sie ihn als Datei, und senden Sie ihn per Mail an %1.</translation>
    </message>
    <message>
        <source>Copy</source>
        <comment>Error report window: copies the report to the clipboard</comment>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Save…</source>
        <comment>Error report window: saves the report as a file</comment>
        <translation>Speichern …</translation>
    </message>
    <message>
        <source>The report is on the clipboard.</source>
        <comment>Error report window: after Copy</comment>
        <translation>Der Bericht liegt in der Zwischenablage.</translation>
    </message>
    <message>
        <source>Save Error Report</source>
        <comment>Title of the save dialog for an error report</comment>
        <translation>Fehlerbericht speichern</translation>
    </message>
    <message>
        <source>Text files (*.txt)</source>
        <comment>Save dialog for an error report: the file type</comment>
        <translation>Textdateien (*.txt)</translation>
    </message>
    <message>
        <source>The report could not be saved.</source>
        <comment>Alert when the error report could not be written</comment>
        <translation>Der Bericht konnte nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>The report is saved in %1.</source>
        <comment>Error report window: after Save; %1 is the file</comment>
        <translation>Der Bericht ist unter %1 gespeichert.</translation>
    </message>
</context>
<context>
    <name>morvane::ExportOptionsView</name>
    <message>
        <source>Use Creator Studio apps</source>
        <comment>Switch in the export options</comment>
        <translation>Creator-Studio-Apps verwenden</translation>
    </message>
    <message>
        <source>Creator Studio</source>
        <comment>Heading in the export options</comment>
        <translation>Creator Studio</translation>
    </message>
    <message>
        <source>Export formats</source>
        <comment>Heading in the export options</comment>
        <translation>Exportformate</translation>
    </message>
</context>
<context>
    <name>morvane::FileListModel</name>
    <message>
        <source>Name</source>
        <comment>Header of the file list&apos;s one column, read by a screen reader</comment>
        <translation>Name</translation>
    </message>
    <message>
        <source>Part of a document package: converted with it</source>
        <comment>Tooltip of a greyed entry</comment>
        <translation>Teil eines Dokumentpakets: wird mit ihm konvertiert</translation>
    </message>
    <message>
        <source>Not converted: %1</source>
        <comment>Tooltip of a greyed entry: why</comment>
        <translation>Nicht konvertiert: %1</translation>
    </message>
    <message>
        <source>Neither a file nor a folder: left out</source>
        <comment>Tooltip of a greyed entry</comment>
        <translation>Weder Datei noch Ordner: wird ausgelassen</translation>
    </message>
    <message>
        <source>Not a document to convert: copied to the target folder</source>
        <comment>Tooltip of a greyed entry</comment>
        <translation>Kein zu konvertierendes Dokument: wird in den Zielordner kopiert</translation>
    </message>
    <message>
        <source>Not a document to convert: left out</source>
        <comment>Tooltip of a greyed entry</comment>
        <translation>Kein zu konvertierendes Dokument: wird ausgelassen</translation>
    </message>
</context>
<context>
    <name>morvane::MainWindow</name>
    <message>
        <source>+</source>
        <comment>Toolbar item that adds files</comment>
        <translation>+</translation>
    </message>
    <message>
        <source>Add files for conversion…</source>
        <comment>Tooltip for add files button</comment>
        <translation>Dateien zum Konvertieren hinzufügen …</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <comment>Main menu</comment>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>Open…</source>
        <comment>Menu command that adds files</comment>
        <translation>Öffnen …</translation>
    </message>
    <message>
        <source>Quit</source>
        <comment>Menu command that ends the application</comment>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <comment>Main menu</comment>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Check for Updates…</source>
        <comment>Menu command that checks for updates</comment>
        <translation>Nach Aktualisierungen suchen …</translation>
    </message>
    <message>
        <source>About %1</source>
        <comment>Menu command that shows the About window</comment>
        <translation>Über %1</translation>
    </message>
    <message>
        <source>Add files</source>
        <comment>Accessible name of the toolbar item that adds files</comment>
        <translation>Dateien hinzufügen</translation>
    </message>
</context>
<context>
    <name>morvane::OpenRequestHandler</name>
    <message numerus="yes">
        <source>and %n more</source>
        <comment>After the listed paths that do not exist</comment>
        <translation>
            <numerusform>und %n weiterer</numerusform>
            <numerusform>und %n weitere</numerusform>
        </translation>
    </message>
    <message>
        <source>Nothing exists at these paths, so they were not added:</source>
        <comment>Warning about files to open that do not exist</comment>
        <translation>Unter diesen Pfaden gibt es nichts, daher wurden sie nicht hinzugefügt:</translation>
    </message>
</context>
<context>
    <name>morvane::RunPresenter</name>
    <message>
        <source>%1 – %2 of %3</source>
        <comment>Window title while converting: the application, the document being converted, how many there are</comment>
        <translation>%1 – %2 von %3</translation>
    </message>
    <message>
        <source>Conversion finished</source>
        <comment>Desktop notification</comment>
        <translation>Konvertierung abgeschlossen</translation>
    </message>
    <message>
        <source>Conversion cancelled</source>
        <comment>Desktop notification</comment>
        <translation>Konvertierung abgebrochen</translation>
    </message>
    <message>
        <source>Conversion failed</source>
        <comment>Desktop notification</comment>
        <translation>Konvertierung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Morvane has ended the conversion.</source>
        <comment>Desktop notification text after a long run</comment>
        <translation>Morvane hat die Konvertierung beendet.</translation>
    </message>
</context>
<context>
    <name>morvane::RunTexts</name>
    <message>
        <source>%1 or %2</source>
        <comment>Export formats to choose from: one, another</comment>
        <translation>%1 oder %2</translation>
    </message>
    <message>
        <source>the disk of %1 is full</source>
        <translation>der Datenträger von %1 ist voll</translation>
    </message>
    <message>
        <source>no permission to read %1</source>
        <translation>keine Berechtigung, %1 zu lesen</translation>
    </message>
    <message>
        <source>no permission to write %1</source>
        <translation>keine Berechtigung, %1 zu schreiben</translation>
    </message>
    <message>
        <source>no permission to write in %1</source>
        <translation>keine Berechtigung, in %1 zu schreiben</translation>
    </message>
    <message>
        <source>the folder %1 is on a read-only disk</source>
        <translation>der Ordner %1 liegt auf einem schreibgeschützten Datenträger</translation>
    </message>
    <message>
        <source>the folder %1 no longer exists</source>
        <translation>der Ordner %1 existiert nicht mehr</translation>
    </message>
    <message>
        <source>the file %1 no longer exists</source>
        <translation>die Datei %1 existiert nicht mehr</translation>
    </message>
    <message>
        <source>the folder %1 cannot be reached: %2</source>
        <translation>der Ordner %1 ist nicht erreichbar: %2</translation>
    </message>
    <message>
        <source>the name %1 is too long for its disk</source>
        <translation>der Name %1 ist für seinen Datenträger zu lang</translation>
    </message>
    <message>
        <source>no such file: %1</source>
        <translation>Datei nicht gefunden: %1</translation>
    </message>
    <message>
        <source>the file is damaged or truncated</source>
        <translation>die Datei ist beschädigt oder unvollständig</translation>
    </message>
    <message>
        <source>the document is password-protected; remove the password to convert it</source>
        <translation>das Dokument ist passwortgeschützt; entfernen Sie das Passwort, um es zu konvertieren</translation>
    </message>
    <message>
        <source>LibreOffice could not write %1</source>
        <translation>LibreOffice konnte %1 nicht schreiben</translation>
    </message>
    <message>
        <source>LibreOffice crashed on this document</source>
        <translation>LibreOffice ist bei diesem Dokument abgestürzt</translation>
    </message>
    <message>
        <source>LibreOffice stopped unexpectedly on this document</source>
        <translation>LibreOffice wurde bei diesem Dokument unerwartet beendet</translation>
    </message>
    <message>
        <source>LibreOffice was ended by the system on this document, perhaps for lack of memory</source>
        <translation>LibreOffice wurde bei diesem Dokument vom System beendet, vielleicht wegen Speichermangels</translation>
    </message>
    <message>
        <source>the LibreOffice worker failed</source>
        <translation>der LibreOffice-Hilfsprozess ist fehlgeschlagen</translation>
    </message>
    <message>
        <source>it needs more memory than the %1 MB allowed per document</source>
        <translation>es braucht mehr Speicher als die je Dokument erlaubten %1 MB</translation>
    </message>
    <message>
        <source>it took longer than the time limit of %1</source>
        <translation>es dauerte länger als das Zeitlimit von %1</translation>
    </message>
    <message>
        <source>this %1 file is a text document, not a spreadsheet</source>
        <translation>diese %1-Datei ist ein Textdokument, keine Tabelle</translation>
    </message>
    <message>
        <source>this %1 file is a text document, not a presentation</source>
        <translation>diese %1-Datei ist ein Textdokument, keine Präsentation</translation>
    </message>
    <message>
        <source>this %1 file is a spreadsheet, not a text document</source>
        <translation>diese %1-Datei ist eine Tabelle, kein Textdokument</translation>
    </message>
    <message>
        <source>this %1 file is a spreadsheet, not a presentation</source>
        <translation>diese %1-Datei ist eine Tabelle, keine Präsentation</translation>
    </message>
    <message>
        <source>this %1 file is a presentation, not a text document</source>
        <translation>diese %1-Datei ist eine Präsentation, kein Textdokument</translation>
    </message>
    <message>
        <source>this %1 file is a presentation, not a spreadsheet</source>
        <translation>diese %1-Datei ist eine Präsentation, keine Tabelle</translation>
    </message>
    <message>
        <source>this %1 file is a drawing, not a text document</source>
        <translation>diese %1-Datei ist eine Zeichnung, kein Textdokument</translation>
    </message>
    <message>
        <source>this %1 file is a drawing, not a spreadsheet</source>
        <translation>diese %1-Datei ist eine Zeichnung, keine Tabelle</translation>
    </message>
    <message>
        <source>this %1 file is a drawing, not a presentation</source>
        <translation>diese %1-Datei ist eine Zeichnung, keine Präsentation</translation>
    </message>
    <message>
        <source>this %1 file is a document of another kind, not a text document</source>
        <translation>diese %1-Datei ist ein Dokument anderer Art, kein Textdokument</translation>
    </message>
    <message>
        <source>this %1 file is a document of another kind, not a spreadsheet</source>
        <translation>diese %1-Datei ist ein Dokument anderer Art, keine Tabelle</translation>
    </message>
    <message>
        <source>this %1 file is a document of another kind, not a presentation</source>
        <translation>diese %1-Datei ist ein Dokument anderer Art, keine Präsentation</translation>
    </message>
    <message>
        <source>No document was converted</source>
        <comment>A run&apos;s result</comment>
        <translation>Kein Dokument wurde konvertiert</translation>
    </message>
    <message numerus="yes">
        <source>%n document(s) converted</source>
        <comment>A run&apos;s result</comment>
        <translation>
            <numerusform>%n Dokument konvertiert</numerusform>
            <numerusform>%n Dokumente konvertiert</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) copied</source>
        <comment>A run&apos;s result</comment>
        <translation>
            <numerusform>%n Datei kopiert</numerusform>
            <numerusform>%n Dateien kopiert</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n export(s) skipped (target among this run&apos;s documents)</source>
        <comment>A run&apos;s result: exports not written, as they would have overwritten documents of the run</comment>
        <translation>
            <numerusform>%n Export übersprungen (Ziel unter den Dokumenten dieser Konvertierung)</numerusform>
            <numerusform>%n Exporte übersprungen (Ziele unter den Dokumenten dieser Konvertierung)</numerusform>
        </translation>
    </message>
    <message>
        <source>, </source>
        <comment>Between the parts of a run&apos;s result</comment>
        <translation>, </translation>
    </message>
    <message>
        <source>no export format is chosen</source>
        <comment>Why a document is not converted</comment>
        <translation>kein Exportformat ist gewählt</translation>
    </message>
    <message>
        <source>%1 files have no %2 export</source>
        <comment>Why a document is not converted: its extension, the chosen export format</comment>
        <translation>%1-Dateien haben keinen %2-Export</translation>
    </message>
    <message>
        <source>%1 files have no %2 export: choose %3</source>
        <comment>Why a document is not converted: its extension, the chosen export format, the formats that would convert it</comment>
        <translation>%1-Dateien haben keinen %2-Export: wählen Sie %3</translation>
    </message>
    <message>
        <source>The target folder %1 was removed during the run; it was not made again, and what the run wrote into it is gone</source>
        <comment>A run&apos;s result</comment>
        <translation>Der Zielordner %1 wurde während der Konvertierung entfernt; er wurde nicht neu angelegt, und was hineingeschrieben wurde, ist verloren</translation>
    </message>
    <message>
        <source>Not converted: %1</source>
        <comment>A run&apos;s result: a document that failed</comment>
        <translation>Nicht konvertiert: %1</translation>
    </message>
    <message>
        <source>Not written: %1</source>
        <comment>A run&apos;s result: an export that was skipped</comment>
        <translation>Nicht geschrieben: %1</translation>
    </message>
    <message>
        <source>Not converted: %1 — %2</source>
        <comment>A run&apos;s result: a document without an export, and why</comment>
        <translation>Nicht konvertiert: %1 — %2</translation>
    </message>
    <message>
        <source>Document: %1</source>
        <comment>Details of a failed run</comment>
        <translation>Dokument: %1</translation>
    </message>
    <message>
        <source>Reason: %1</source>
        <comment>Details of a failed run</comment>
        <translation>Grund: %1</translation>
    </message>
    <message>
        <source>Details: %1</source>
        <comment>Details of a failed run: the original words</comment>
        <translation>Einzelheiten: %1</translation>
    </message>
    <message>
        <source>, </source>
        <comment>Between the names of documents</comment>
        <translation>, </translation>
    </message>
    <message numerus="yes">
        <source>%1 and %n more</source>
        <comment>Document names, and how many are not named</comment>
        <translation>
            <numerusform>%1 und %n weiteres</numerusform>
            <numerusform>%1 und %n weitere</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <comment>Why documents are not converted, and which</comment>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Cancelled after %1 of %2</source>
        <comment>The last run&apos;s line when it was cancelled: documents converted, documents planned</comment>
        <translation>Abgebrochen nach %1 von %2</translation>
    </message>
    <message>
        <source>%1 converted, %2 copied, %3 failed</source>
        <comment>The last run&apos;s counts: documents converted, files copied, failed</comment>
        <translation>%1 konvertiert, %2 kopiert, %3 fehlgeschlagen</translation>
    </message>
    <message numerus="yes">
        <source>, %n without export</source>
        <comment>The last run&apos;s counts: documents the chosen formats give no export</comment>
        <translation>
            <numerusform>, %n ohne Export</numerusform>
            <numerusform>, %n ohne Export</numerusform>
        </translation>
    </message>
    <message>
        <source>this file is a text document, not a spreadsheet</source>
        <translation>diese Datei ist ein Textdokument, keine Tabelle</translation>
    </message>
    <message>
        <source>this file is a text document, not a presentation</source>
        <translation>diese Datei ist ein Textdokument, keine Präsentation</translation>
    </message>
    <message>
        <source>this file is a spreadsheet, not a text document</source>
        <translation>diese Datei ist eine Tabelle, kein Textdokument</translation>
    </message>
    <message>
        <source>this file is a spreadsheet, not a presentation</source>
        <translation>diese Datei ist eine Tabelle, keine Präsentation</translation>
    </message>
    <message>
        <source>this file is a presentation, not a text document</source>
        <translation>diese Datei ist eine Präsentation, kein Textdokument</translation>
    </message>
    <message>
        <source>this file is a presentation, not a spreadsheet</source>
        <translation>diese Datei ist eine Präsentation, keine Tabelle</translation>
    </message>
    <message>
        <source>this file is a drawing, not a text document</source>
        <translation>diese Datei ist eine Zeichnung, kein Textdokument</translation>
    </message>
    <message>
        <source>this file is a drawing, not a spreadsheet</source>
        <translation>diese Datei ist eine Zeichnung, keine Tabelle</translation>
    </message>
    <message>
        <source>this file is a drawing, not a presentation</source>
        <translation>diese Datei ist eine Zeichnung, keine Präsentation</translation>
    </message>
    <message>
        <source>this file is a document of another kind, not a text document</source>
        <translation>diese Datei ist ein Dokument anderer Art, kein Textdokument</translation>
    </message>
    <message>
        <source>this file is a document of another kind, not a spreadsheet</source>
        <translation>diese Datei ist ein Dokument anderer Art, keine Tabelle</translation>
    </message>
    <message>
        <source>this file is a document of another kind, not a presentation</source>
        <translation>diese Datei ist ein Dokument anderer Art, keine Präsentation</translation>
    </message>
    <message>
        <source>the file is empty (0 bytes); there is nothing to convert</source>
        <translation>die Datei ist leer (0 Byte); es gibt nichts zu konvertieren</translation>
    </message>
    <message>
        <source>this %1 document is damaged: checking it crashed</source>
        <translation>dieses %1-Dokument ist beschädigt: seine Prüfung ist abgestürzt</translation>
    </message>
    <message>
        <source>this %1 document is damaged: checking it took longer than %2</source>
        <translation>dieses %1-Dokument ist beschädigt: seine Prüfung dauerte länger als %2</translation>
    </message>
    <message>
        <source>this %1 document is damaged: checking it needs more memory than the %2 MB allowed per document</source>
        <translation>dieses %1-Dokument ist beschädigt: seine Prüfung braucht mehr Speicher als die %2 MB, die je Dokument erlaubt sind</translation>
    </message>
    <message>
        <source>this is not a readable %1 document: it holds no document (no index)</source>
        <translation>dies ist kein lesbares %1-Dokument: es enthält kein Dokument (keinen Index)</translation>
    </message>
    <message>
        <source>this is not a readable %1 document: the package folder holds no document (no index)</source>
        <translation>dies ist kein lesbares %1-Dokument: der Paketordner enthält kein Dokument (keinen Index)</translation>
    </message>
    <message>
        <source>this is not a readable %1 document: it declares file format version %2, which no reader supports</source>
        <translation>dies ist kein lesbares %1-Dokument: es gibt die Dateiformatversion %2 an, die kein Leseprogramm unterstützt</translation>
    </message>
    <message>
        <source>this %1 document is damaged or unreadable</source>
        <translation>dieses %1-Dokument ist beschädigt oder nicht lesbar</translation>
    </message>
    <message>
        <source>the target folder %1 was removed during the run; %2 was not written</source>
        <translation>der Zielordner %1 wurde während des Laufs entfernt; %2 wurde nicht geschrieben</translation>
    </message>
    <message>
        <source>the target folder %1 was removed during the run and another one made in its place; %2 was not written</source>
        <translation>der Zielordner %1 wurde während des Laufs entfernt und ein anderer an seiner Stelle angelegt; %2 wurde nicht geschrieben</translation>
    </message>
    <message>
        <source>LibreOffice reads %1 documents but cannot write them; %2 was not written</source>
        <translation>LibreOffice liest %1-Dokumente, kann sie aber nicht schreiben; %2 wurde nicht geschrieben</translation>
    </message>
    <message>
        <source>saving in the application&apos;s own format is not possible here; %1 was not written</source>
        <translation>Sichern im eigenen Format des Programms ist hier nicht möglich; %1 wurde nicht geschrieben</translation>
    </message>
    <message>
        <source>LibreOffice cannot write the format %1; %2 was not written</source>
        <translation>LibreOffice kann das Format %1 nicht schreiben; %2 wurde nicht geschrieben</translation>
    </message>
    <message>
        <source>the document holds %1 table cells, but LibreOffice read none of them; nothing was converted</source>
        <translation>das Dokument enthält %1 Tabellenzellen, aber LibreOffice hat keine davon gelesen; nichts wurde konvertiert</translation>
    </message>
    <message>
        <source>the document holds text, but LibreOffice read none of it; nothing was converted</source>
        <translation>das Dokument enthält Text, aber LibreOffice hat nichts davon gelesen; nichts wurde konvertiert</translation>
    </message>
    <message>
        <source>the finished export was removed from its folder before it could take its place</source>
        <translation>die fertige Ausgabe wurde aus ihrem Ordner entfernt, bevor sie an ihre Stelle treten konnte</translation>
    </message>
</context>
<context>
    <name>morvane::SideBarView</name>
    <message>
        <source>Warning</source>
        <comment>Accessible name of the hint symbol</comment>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>MS Office</source>
        <comment>Export switch</comment>
        <translation>MS Office</translation>
    </message>
    <message>
        <source>iWork</source>
        <comment>Export switch</comment>
        <translation>iWork</translation>
    </message>
    <message>
        <source>.pdf</source>
        <comment>Export switch</comment>
        <translation>.pdf</translation>
    </message>
    <message>
        <source>Add files for conversion</source>
        <comment>Hint above the Run button</comment>
        <translation>Dateien zum Konvertieren hinzufügen</translation>
    </message>
    <message>
        <source>Select target folder</source>
        <comment>Hint above the Run button</comment>
        <translation>Zielordner auswählen</translation>
    </message>
    <message>
        <source>Choose an export format</source>
        <comment>Hint above the Run button</comment>
        <translation>Ein Exportformat wählen</translation>
    </message>
    <message>
        <source>Run</source>
        <comment>Button that starts the conversion</comment>
        <translation>Konvertieren</translation>
    </message>
    <message>
        <source>Target folder</source>
        <comment>Accessible name of the folder icon</comment>
        <translation>Zielordner</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <comment>Button that opens the target folder</comment>
        <translation>Im Ordner zeigen</translation>
    </message>
    <message>
        <source>Last run: %1</source>
        <comment>The side bar&apos;s line about the last run</comment>
        <translation>Letzter Lauf: %1</translation>
    </message>
    <message>
        <source>Conversion progress</source>
        <comment>Accessible name of the progress bar</comment>
        <translation>Fortschritt der Konvertierung</translation>
    </message>
    <message>
        <source>Cancel</source>
        <comment>Button that cancels the running conversion</comment>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Preparing the conversion…</source>
        <comment>Progress while a run starts</comment>
        <translation>Die Konvertierung wird vorbereitet …</translation>
    </message>
    <message>
        <source>Converting %1 of %2</source>
        <comment>Progress: the document being converted, how many there are</comment>
        <translation>Dokument %1 von %2 wird konvertiert</translation>
    </message>
    <message>
        <source>No file manager opened the folder.</source>
        <comment>Message when Show in Folder found no program to open the folder</comment>
        <translation>Kein Dateimanager hat den Ordner geöffnet.</translation>
    </message>
</context>
<context>
    <name>morvane::TargetOptionsView</name>
    <message>
        <source>Choose…</source>
        <comment>Button that chooses the target folder</comment>
        <translation>Wählen …</translation>
    </message>
    <message>
        <source>Rebuild folder structure</source>
        <comment>Switch in the output options</comment>
        <translation>Ordnerstruktur nachbilden</translation>
    </message>
    <message>
        <source>Copy non-convertible files to target</source>
        <comment>Switch in the output options</comment>
        <translation>Übrige Dateien ins Ziel kopieren</translation>
    </message>
    <message>
        <source>Continue after a failed document</source>
        <comment>Switch in the output options</comment>
        <translation>Nach einem Fehler fortfahren</translation>
    </message>
    <message>
        <source>Target folder:</source>
        <comment>Label in the output options</comment>
        <translation>Zielordner:</translation>
    </message>
    <message>
        <source>Output options</source>
        <comment>Heading in the output options</comment>
        <translation>Ausgabeoptionen</translation>
    </message>
</context>
<context>
    <name>morvane::ToolbarButtons</name>
    <message>
        <source>+</source>
        <comment>Title-bar button that adds files</comment>
        <translation>+</translation>
    </message>
    <message>
        <source>-</source>
        <comment>Title-bar button that removes the selected files</comment>
        <translation>-</translation>
    </message>
    <message>
        <source>Add files for conversion…</source>
        <comment>Tooltip for add files button</comment>
        <translation>Dateien zum Konvertieren hinzufügen …</translation>
    </message>
    <message>
        <source>Remove the selected entries from the list</source>
        <comment>Tooltip for the button that removes the selected files</comment>
        <translation>Die ausgewählten Einträge aus der Liste entfernen</translation>
    </message>
    <message>
        <source>Add files</source>
        <comment>Accessible name of the button that adds files</comment>
        <translation>Dateien hinzufügen</translation>
    </message>
    <message>
        <source>Remove from list</source>
        <comment>Accessible name of the button that removes files</comment>
        <translation>Aus der Liste entfernen</translation>
    </message>
</context>
</TS>
