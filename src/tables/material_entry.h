// Entering a new material: its properties asked one by one, then appended
// to the material table.
#pragma once

namespace zeb {

// Name, E, G and density of a material of the user's own into the spring
// data (MaterialSel 11) and a reset material record.
void MaterialManualProperties();
// Asks for a complete new material and appends it to zebwst.dbf with the
// next free material number. A cancel anywhere leaves the table untouched;
// after a cancel of the locked table's retry question the next entry starts
// from the values typed.
void MaterialNewEntry();

}  // namespace zeb
