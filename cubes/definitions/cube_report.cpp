// "Cube-Beschreibung": a cube header with its fields, through the report engine's preview.
#include <cstdlib>

#include "core/dictionary/dictionary.h"
#include "cubes/definitions/definitions.h"
#include "cubes/values/values.h"
#include "runtime/data/errors.h"
#include "runtime/report/report_controller.h"
#include "runtime/text/strings.h"

namespace {

enum {
    PageHeader = 1,
    Title,
    HeadId,
    HeadName,
    HeadDescription,
    HeadConnect,
    HeadZugriff,
    HeadQuery,
    GroupHeader = 20,
    CubeId,
    CubeName,
    CubeDescription,
    CubeConnect,
    CubeZugriff,
    CubeZugriffName,
    CubeQuery,
    CubePatch,
    CubePatchText,
    CubeBigQuery,
    Detail = 40,
    FieldPos,
    FieldName,
    FieldCaption,
    FieldPicture,
    FieldGruppe,
    FieldGruppeName,
    FieldAggregat,
    FieldAggregatName,
    GroupFooter = 60,
    Rule,
    CubeBreak = 70,
};

// Fixed-length fields without their padding: blanks at the end would wrap into empty lines.
std::string text(std::string_view s) { return std::string(rt::clip(s)); }

}  // namespace

void DruckeCube() { DruckeCube(CUBK.ID); }

void DruckeCube(long cubeId) {
    // Started on a thread of its own, it may find the thread's dictionary still to be built.
    const bool ownDictionary = !DictionaryBuilt();
    if (ownDictionary) InitDictionary();
    {
        Relate.VOQCubeKopf->open();
        CUBK.ID = static_cast<rt::Long>(cubeId);
        if (Access.VOQCubeKopf->fetch("CUBK:KeyID") != 0) Access.VOQCubeKopf->clearBuffer();

        rt::Report report("CubeDescription");
        report.setBody(30, 70, 535, 730);
        auto& head = report.addBand(PageHeader, rt::BandKind::PageHeader).setPosition(30, 20, 535, 48);
        head.addString(Title, 0, 0, 300, 16).setText("Cube-Beschreibung").setBold().setFontSize(14);
        const struct {
            int id;
            const char* text;
            double x;
        } captions[] = {{HeadId, "ID", 0},
                        {HeadName, "Cube Name", 40},
                        {HeadDescription, "Beschreibung", 140},
                        {HeadConnect, "Connect", 280},
                        {HeadZugriff, "Zugriff", 380},
                        {HeadQuery, "Query", 440}};
        for (const auto& c : captions) head.addString(c.id, c.x, 30, 90, 12).setText(c.text).setBold();

        // Every field prints its whole text: a long one goes on over more lines (the query above
        // all, the report's main content), and what stands below moves down.
        auto& group = report.addBand(GroupHeader, rt::BandKind::GroupHeader).setSize(535, 60);
        group.addText(CubeId, 0, 0, 36, 12).setResize().setUse([] { return std::to_string(CUBK.ID); });
        group.addText(CubeName, 40, 0, 96, 12).setResize().setUse([] { return text(CUBK.CubeName.str()); });
        group.addText(CubeDescription, 140, 0, 136, 12).setResize().setUse([] {
            return text(CUBK.Beschreibung.str());
        });
        group.addText(CubeConnect, 280, 0, 96, 12).setResize().setUse([] { return text(CUBK.Connect.str()); });
        group.addText(CubeZugriff, 380, 0, 20, 12).setResize().setUse([] { return text(CUBK.Zugriff.str()); });
        group.addText(CubeZugriffName, 400, 0, 40, 12).setResize().setUse([] {
            return ValueName("TREIBER", std::string_view(CUBK.Zugriff.str()));
        });
        group.addText(CubeQuery, 440, 0, 95, 12).setResize().setUse([] { return text(CUBK.Query.str()); });
        group.addCheck(CubePatch, 0, 16, 10, 10).setUse([] { return std::to_string(CUBK.Patch); });
        group.addString(CubePatchText, 14, 16, 80, 12).setText("Dezimal-Patch");
        group.addText(CubeBigQuery, 0, 32, 535, 24).setResize().setUse([] { return text(CUBK.BigQuery.str()); });

        auto& detail = report.addBand(Detail, rt::BandKind::Detail).setSize(535, 14);
        detail.addText(FieldPos, 0, 0, 30, 12).setResize().setUse([] { return std::to_string(CUBD.PosNr); });
        detail.addText(FieldName, 34, 0, 120, 12).setResize().setUse([] { return text(CUBD.FeldName.str()); });
        detail.addText(FieldCaption, 158, 0, 120, 12).setResize().setUse([] { return text(CUBD.Feldname1.str()); });
        detail.addText(FieldPicture, 282, 0, 60, 12).setResize().setUse([] { return text(CUBD.Picture.str()); });
        detail.addText(FieldGruppe, 346, 0, 16, 12).setResize().setUse([] { return text(CUBD.Gruppe.str()); });
        detail.addText(FieldGruppeName, 362, 0, 60, 12).setResize().setUse([] {
            return ValueName("GRUPPE", std::string_view(CUBD.Gruppe.str()));
        });
        detail.addText(FieldAggregat, 426, 0, 40, 12).setResize().setUse([] { return text(CUBD.Aggregat.str()); });
        // The code 0 prints no name.
        detail.addText(FieldAggregatName, 466, 0, 69, 12).setResize().setUse([] {
            const std::string code(rt::trimBlanks(CUBD.Aggregat.str()));
            if (code.empty() || std::atol(code.c_str()) == 0) return std::string();
            return ValueName("AGGREGAT", std::string_view(code));
        });

        auto& footer = report.addBand(GroupFooter, rt::BandKind::GroupFooter).setSize(535, 8);
        footer.addLine(Rule, 0, 4, 535, 0);
        report.addBreak(
            CubeBreak, [] { return std::to_string(CUBK.ID); }, GroupHeader, GroupFooter);

        rt::FileManager& fields = *Access.VOQCubeDetail;
        auto start = [&] {
            CUBD = {};
            CUBD.ID_CUBK = static_cast<rt::Long>(cubeId);
            fields.setFrom("CUBD:KeyPosNr");
        };
        // The number of fields, for the progress bar.
        long long total = 0;
        start();
        while (fields.next() == 0 && CUBD.ID_CUBK == cubeId) ++total;
        start();
        rt::RecordProcessor records(
            [&] {
                const int rc = fields.next();
                if (rc != 0) return rc == rt::ErrRecordNotAvailable ? rt::RecordStep::End : rt::RecordStep::Failed;
                return CUBD.ID_CUBK == cubeId ? rt::RecordStep::Record : rt::RecordStep::End;
            },
            total);
        rt::ProgressWindowOptions options;
        options.procedure = "DruckeCube";
        options.title = "Report Progress...";
        options.timer = 10;
        rt::ReportController controller(report, options);
        controller.setDetail(Detail);
        // A cube without fields still prints its header: the breaks only start at a field.
        if (total == 0)
            controller.setOnOpen([&] {
                report.print(GroupHeader);
                report.print(GroupFooter);
            });
        controller.run(records);
        Relate.VOQCubeKopf->close();
    }
    if (ownDictionary) KillDictionary();
}
