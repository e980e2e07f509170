#include "runtime/qt/showcase.h"

#include <chrono>
#include <string>

#include "runtime/thread/thread.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

namespace rt::qt {

using namespace showcase;

namespace {

constexpr Color kPurple = rgb(64, 0, 64);
constexpr Color kOlive = rgb(151, 180, 20);
constexpr Color kLightGreen = rgb(206, 255, 206);

ListCell textCell(const std::string& text) {
    ListCell cell;
    cell.text = text;
    return cell;
}

ListColumn column(const std::string& heading, int width, Justify justify = Justify::Left) {
    ListColumn c;
    c.heading = heading;
    c.width = width;
    c.justify = justify;
    c.headingJustify = justify;
    return c;
}

ListRow cubeRow(int number, const std::string& name, const std::string& description, bool odd, int icon) {
    ListRow row;
    for (const std::string& text : {std::to_string(number), name, description}) {
        ListCell cell = textCell(text);
        cell.fore = kPurple;
        cell.back = odd ? kLightGreen : ColorNone;
        cell.selectedFore = kPurple;
        cell.selectedBack = kOlive;
        row.cells.push_back(cell);
    }
    row.cells[0].icon = icon;
    return row;
}

ListRow treeRow(const std::string& text, int level) {
    ListRow row;
    row.cells.push_back(textCell(text));
    row.level = level;
    return row;
}

}  // namespace

void showcaseWindow() {
    Window w(kShowcaseProcedure, "Showcase");
    w.setMdiChild(true).setPosition(6, 6, 466, 262).setIcon("QBE.ico");
    w.setStatusZones({120, 0});
    w.setStatusText(1, "Bereit");
    w.alert(keys::MouseRight);

    w.add(PromptName, ControlKind::Prompt).setText("&Name:").setPosition(6, 8, 42, 10);
    w.add(EntryName, ControlKind::Entry)
        .setPicture("@s30")
        .setPosition(50, 6, 100, 11)
        .setValue("Umsatz je Shop")
        .setTip("Name der Auswertung")
        .edit()
        .required = true;
    w.add(PromptPassword, ControlKind::Prompt).setText("&Kennwort:").setPosition(6, 22, 42, 10);
    w.add(EntryPassword, ControlKind::Entry)
        .setPicture("@s20")
        .setPosition(50, 20, 100, 11)
        .setValue("geheim")
        .edit()
        .password = true;
    w.add(PromptAmount, ControlKind::Prompt).setText("Betrag:").setPosition(6, 36, 42, 10);
    w.add(EntryAmount, ControlKind::Entry)
        .setPicture("@n-12.2")
        .setPosition(50, 34, 60, 11)
        .setValue("1.234,50")
        .setReadOnly(true);
    w.add(CheckActive, ControlKind::Check).setText("&Aktiv").setPosition(6, 49, 60, 10).setValue("1");

    w.add(OptionPeriod, ControlKind::Option).setText("Zeitraum").setPosition(6, 61, 144, 34).setValue("2");
    w.add(RadioYear, ControlKind::Radio, OptionPeriod)
        .setText("aktuelles Jahr")
        .setRadioValue("1")
        .setPosition(12, 71, 64, 10);
    w.add(RadioLastYear, ControlKind::Radio, OptionPeriod)
        .setText("Vorjahr")
        .setRadioValue("2")
        .setPosition(12, 81, 64, 10);
    w.add(RadioFromLast, ControlKind::Radio, OptionPeriod)
        .setText("ab Vorjahr")
        .setRadioValue("3")
        .setPosition(80, 71, 64, 10);
    w.add(RadioAll, ControlKind::Radio, OptionPeriod).setText("alle").setRadioValue("0").setPosition(80, 81, 64, 10);

    w.add(PromptFilter, ControlKind::Prompt).setText("&Filter:").setPosition(6, 102, 42, 10);
    w.add(DropFilter, ControlKind::DropList)
        .setFrom("GRUPPE|AGGREGAT|TREIBER")
        .setPosition(50, 100, 100, 12)
        .setSelected(2);
    w.add(PromptValue, ControlKind::Prompt).setText("&Wert:").setPosition(6, 116, 42, 10);
    w.add(ComboValue, ControlKind::DropCombo).setFrom("10|20|50").setPosition(50, 114, 100, 12).setValue("20");
    w.add(PromptMonth, ControlKind::Prompt).setText("&Monat:").setPosition(6, 130, 42, 10);
    w.add(SpinMonth, ControlKind::Spin)
        .setPicture("n2")
        .setRange(1, 12)
        .setPosition(50, 128, 40, 12)
        .setValue("12")
        .setTip("Monat ändern");
    w.add(TextScript, ControlKind::Text)
        .setPosition(6, 144, 144, 48)
        .setValue("SELECT Jahr, Monat, Umsatz\nFROM dbo.vUmsatz\nWHERE Jahr = '2026'")
        .setFont(Font{"Courier New", 9});

    w.add(GroupLook, ControlKind::Group).setText("Darstellung").setPosition(6, 196, 144, 38);
    w.add(BoxSample, ControlKind::Box, GroupLook)
        .setPosition(12, 208, 36, 20)
        .setBackground(kLightGreen)
        .edit()
        .borderColor = kPurple;
    w.add(LineSample, ControlKind::Line, GroupLook).setPosition(56, 208, 36, 20).setFontColor(kPurple);
    w.add(PanelSample, ControlKind::Panel, GroupLook).setPosition(100, 208, 42, 20);

    auto list = w.add(ListCubes, ControlKind::List).setPosition(158, 6, 302, 88);
    {
        ListData data;
        data.columns = {column("ID", 34, Justify::Right), column("Cubename", 100), column("Beschreibung", 160)};
        data.columns[0].hasIcon = true;
        data.columns[1].resizable = data.columns[2].resizable = true;
        data.icons = {"~BoxOn.ICO", "~BoxOff.ICO"};
        const char* names[][2] = {
            {"Umsatz", "Umsatz je Monat und Shop"},      {"Deckungsbeitrag", "DB I nach Warengruppen"},
            {"Retouren", "Retourenquote je Plattform"},  {"Lagerwert", "Bestand zum Monatsende"},
            {"Provision", "Provisionen je Mitarbeiter"}, {"Neukunden", "Erstbestellungen je Quartal"},
            {"Versand", "Versandkosten je Paket"}};
        int n = 1;
        for (const auto& entry : names) {
            data.rows.push_back(cubeRow(n, entry[0], entry[1], n % 2 == 0, n % 3 == 0 ? 2 : 1));
            ++n;
        }
        list.setListData(std::move(data));
        list.setSelected(2);
    }

    auto tree = w.add(TreeGroups, ControlKind::Tree).setPosition(158, 98, 140, 94);
    tree.setRows({treeRow("Alle Cube-Gruppen", 1), treeRow("Vertrieb", 2), treeRow("Umsatz", 3), treeRow("Retouren", 3),
                  treeRow("Controlling", -2), treeRow("Deckungsbeitrag", 3), treeRow("Lager", 2),
                  treeRow("Lagerwert", 3)});
    tree.setSelected(3);

    w.add(SheetMain, ControlKind::Sheet).setPosition(304, 98, 156, 94);
    w.add(TabGeneral, ControlKind::Tab, SheetMain).setText("&Allgemein");
    w.add(StringGeneral, ControlKind::String, TabGeneral).setText("Server : localhost").setPosition(312, 118, 140, 10);
    w.add(EntryGeneral, ControlKind::Entry, TabGeneral)
        .setPicture("@s40")
        .setPosition(312, 132, 140, 11)
        .setValue("Datenbank : eazybusiness");
    w.add(TabMore, ControlKind::Tab, SheetMain).setText("&Weitere");
    w.add(CheckMore, ControlKind::Check, TabMore).setText("Excel starten").setPosition(312, 118, 100, 10);
    w[SheetMain].setSelected(1);

    auto image = w.add(ImageLogo, ControlKind::Image).setPosition(158, 198, 24, 24);
    if (!image.loadImage("/usr/share/icons/Adwaita/48x48/mimetypes/x-office-spreadsheet.png"))
        image.setIcon("CHART8.ICO");
    w.add(RegionMouse, ControlKind::Region)
        .setPosition(188, 198, 60, 24)
        .setImmediate(true)
        .setTip("Bereich: Maus hinein und hinaus")
        .edit()
        .borderColor = kOlive;
    w.add(StringMouse, ControlKind::String).setText("Maus: draußen").setPosition(254, 205, 70, 10);
    w.add(ProgressRun, ControlKind::Progress).setRange(0, 100).setPosition(158, 226, 166, 8).setValue("35");
    w.add(OleHost, ControlKind::Ole).setPosition(330, 198, 130, 36).edit().progId = "GridnovaLib.Gnova.3";

    w.add(ButtonOk, ControlKind::Button)
        .setText("&OK")
        .setIcon("WAOK.ICO")
        .setPosition(250, 240, 50, 16)
        .setTip("Eingabe bestätigen und Fenster schließen")
        .edit()
        .defaultButton = true;
    w.add(ButtonCancel, ControlKind::Button)
        .setText("&Abbrechen")
        .setIcon("WACANCEL.ICO")
        .setPosition(304, 240, 56, 16)
        .setTip("Bearbeitung abbrechen");
    w.add(ButtonPrint, ControlKind::Button).setIcon("PRINT.ICO").setPosition(364, 240, 20, 16).setTip("Drucken");
    w.add(ButtonMessage, ControlKind::Button).setText("&Meldung").setPosition(388, 240, 72, 16);

    w.setTimer(50);
    w.select(EntryName);
    int progress = 35;
    while (auto e = w.accept()) {
        switch (e.event) {
        case Event::Timer:
            progress = progress >= 100 ? 0 : progress + 5;
            w[ProgressRun].setValue(std::to_string(progress));
            break;
        case Event::MouseIn: w[StringMouse].setText("Maus: drinnen"); break;
        case Event::MouseOut: w[StringMouse].setText("Maus: draußen"); break;
        case Event::NewSelection:
            if (e.control == ListCubes) w.setStatusText(1, "Zeile " + std::to_string(e.row));
            break;
        case Event::HeaderPressed: w.setStatusText(2, "Spalte " + std::to_string(e.column)); break;
        case Event::AlertKey:
            if (e.control == ListCubes && e.keyCode == keys::MouseRight) {
                const int chosen = popup("&Neu|&Bearbeiten|&Löschen|-|List &Formats|Format &Setup...");
                if (chosen) w.setStatusText(1, "Menüpunkt " + std::to_string(chosen));
            }
            break;
        case Event::Accepted:
            switch (e.control) {
            case ButtonOk:
            case ButtonCancel: w.post(Event::CloseWindow); break;
            case ButtonMessage: {
                const int answer = message("Das ist eine Meldung.|Sie hat zwei Zeilen.", "Hinweis",
                                           MessageIcon::Information, "&Weiter|&Stop|&Ende");
                w.setStatusText(1, "Antwort " + std::to_string(answer));
                break;
            }
            case ButtonPrint: printerDialog("Drucken"); break;
            default:
                // Buttons of the frame's toolbar arrive here while this window is active.
                if (e.control >= TbInsert && e.control <= TbHelp)
                    w.setStatusText(2, "Symbolleiste " + std::to_string(e.control - TbInsert + 1));
                break;
            }
            break;
        default: break;
        }
    }
}

void runShowcase() {
    Window f(kShowcaseFrameProcedure, "VOQKivorant  (Showcase)");
    f.setFrame(true).setIcon("WWS.ICO");
    f.setStatusZones({140, 60, 90, 0});
    f.setStatusText(2, "DEMO");
    f.setStatusText(3, "Server : localhost");
    f.setStatusText(4, "Datenbank : demo");

    f.add(MenuFile, ControlKind::Menu).setText("&File");
    f.add(ItemPrintSetup, ControlKind::Item, MenuFile).setText("&Print Setup ...").setHelp("Setup printer");
    f.add(ItemSep1, ControlKind::Item, MenuFile).edit().separator = true;
    f.add(ItemExit, ControlKind::Item, MenuFile).setText("E&xit").setHelp("Exit this application");
    f.add(MenuWindow, ControlKind::Menu).setText("&Window").setHelp("Create and Arrange windows");
    f.add(ItemTile, ControlKind::Item, MenuWindow).setText("T&ile").setHelp("Make all open windows visible");
    f.add(ItemCascade, ControlKind::Item, MenuWindow).setText("&Cascade").setHelp("Stack all open windows");
    f.add(ItemArrange, ControlKind::Item, MenuWindow).setText("&Arrange Icons").setHelp("Align all window icons");

    struct Tool {
        int id;
        const char* icon;
        const char* tip;
    };
    const Tool tools[] = {
        {TbInsert, "ADD.ICO", "Datensatz anlegen"},
        {TbChange, "Edit.ICO", "Datensatz bearbeiten"},
        {TbDelete, "Delete.ICO", "Datensatz löschen"},
        {TbTop, "wizFirst.ico", "Anfang"},
        {TbPageUp, "wizPgUp.ico", "Seite zurück"},
        {TbUp, "wizUp.ico", "Zeile zurück"},
        {TbLocate, "qkqbe.ico", "Suchen"},
        {TbDown, "wizDown.ico", "Zeile vor"},
        {TbPageDown, "wizPgDn.ico", "Seite vor"},
        {TbBottom, "wizLast.ico", "Ende"},
        {TbHistory, "WIZDITTO.ICO", "Vorheriger Wert"},
        {TbHelp, "WAHELP.ICO", "Hilfe"},
    };
    int x = 2;
    for (const auto& tool : tools) {
        auto b = f.add(tool.id, ControlKind::Button).setIcon(tool.icon).setTip(tool.tip).setPosition(x, 2, 14, 13);
        b.edit().toolbar = true;
        b.edit().flat = true;
        x += 15;
        if (tool.id == TbDelete || tool.id == TbBottom || tool.id == TbHistory) x += 5;
    }
    f.add(TbClient, ControlKind::String).setText("Demo GmbH").setPosition(x + 6, 4, 100, 10).edit().toolbar = true;
    auto check = f.add(TbConnectGlobal, ControlKind::Check)
                     .setText("Connect Global (Ein) oder Local (AUS)")
                     .setHelp("Cube-Connection aus globaler Anmeldung (Ein) oder lokal (AUS) verwenden")
                     .setPosition(x + 110, 3, 150, 11)
                     .setValue("1");
    check.edit().toolbar = true;

    int child = 0;
    while (auto e = f.accept()) {
        switch (e.event) {
        case Event::OpenWindow: child = startThread([] { showcaseWindow(); }); break;
        case Event::CloseWindow:
        case Event::CloseDown:
            if (child && threadRunning(child)) {
                postToThread(Event::CloseDown, 0, child);
                waitThread(child, std::chrono::seconds(5));
            }
            break;
        case Event::Accepted:
            if (e.control == ItemExit) {
                f.post(Event::CloseWindow);
            } else if (e.control == ItemPrintSetup) {
                printerDialog("Drucker einrichten", true);
            } else if (e.control == ItemTile || e.control == ItemCascade || e.control == ItemArrange) {
                display().arrangeWindows(f.id(), e.control == ItemTile      ? Arrangement::Tile
                                                 : e.control == ItemCascade ? Arrangement::Cascade
                                                                            : Arrangement::ArrangeIcons);
            } else if (e.control >= TbInsert && e.control <= TbHelp) {
                // Toolbar buttons act on the active window of another thread.
                const int thread = activeWindowThread();
                if (thread && thread != threadNumber()) postToThread(Event::Accepted, e.control, thread);
            }
            break;
        default: break;
        }
    }
}

}  // namespace rt::qt
