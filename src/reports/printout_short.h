// The short printout ("Auszug"): one page with diameters, wire, coils,
// rate, mass, material and strength, the working-point table, the buckling
// note, the scrap shares and the messages; and the row writers of the
// working-point table, which the production-compensation printout shares.
#pragma once
#include <string>
#include <string_view>

#include "base/types.h"

namespace zeb {

class ReportTable;

// Writes nothing while FatalErrorFlag is set (the message list is shown
// instead). The device is closed on every path.
void PrintReportExtract();

// Point ch ("1" or "2"): length, travel, force with its tolerance, the
// stress (tau for loadType 1, else tauk) and the safety factor.
void WritePointRow(ReportTable& table, std::string_view ch, int loadType, Real L, Real s, Real F, Real tolPlus,
                   Real tolMinus, Real tau, Real tauk, Real S);
// Point ch ("n" or "c") without force tolerance, uncorrected stress.
void WritePointRowPlain(ReportTable& table, std::string_view ch, Real L, Real s, Real F, Real tau, Real S);
// The stroke row; nothing unless loadType is 2.
void WriteStrokeRow(ReportTable& table, int loadType, Real sh, Real Fh, Real taukh, Real Sh);

// The working-point table of the current spring. correctedEnds: the rows
// n and c of a dynamic spring carry the corrected stress (short printout);
// false: always the plain rows (compensation printout).
void WriteWorkingPointTable(bool correctedEnds);

// Shared head lines of the short and compensation printouts.
// Titles with "  " before the standard name, total pages 0.
void SetExtractTitles();
// One page with these titles into CurrentFileName + ".txt", showing what
// (code page 850; the text window's title): the page head, writeBody and
// the page end; the device is closed on every path.
void PrintExtractPage(std::string_view what, void (*writeBody)());
// "De = " ... with tolerance, unit and the wire continuation; roundOnly
// writes the round-wire form whatever the cross-section.
void WriteDiameterWireLine(bool roundOnly);
// "n = ... nt = ... nt-n = ..." as result line.
std::string CoilCountLine();

}  // namespace zeb
