#include "video/devices/mjpeg/mjpeg_table_choice.h"

#include "video/devices/mjpeg/mjpeg_idct.h"

namespace nsVZVP {

bool ChooseMjpegTables(const MjpegFrameHeader& header, MjpegOwnTables* own, MjpegScanTables* tables) {
  bool standard = true;
  bool built[2][2] = {};
  for (int c = 0; c < 3; ++c) {
    const int expected_id = c == 0 ? 0 : 1;
    const uint8_t ids[2] = {header.components[c].td, header.components[c].ta};
    MjpegComponentTables& component = tables->components[c];
    for (int ac = 0; ac < 2; ++ac) {
      const int id = ids[ac];
      const MjpegHuffmanSpec& spec = ac ? header.ac[id] : header.dc[id];
      const HuffmanLookup* lookup;
      const HuffmanValueTable* values;
      if (!spec.present || EqualsStandardHuffman(spec, ac != 0, id)) {
        lookup = &StandardHuffmanLookup(ac != 0, id);
        values = &StandardHuffmanValueTable(ac != 0, id);
      } else {
        // Checked when the segment was read, so the build succeeds.
        if (!built[ac][id]) {
          BuildHuffmanLookup(spec, &own->lookups[ac][id]);
          BuildHuffmanValueTable(own->lookups[ac][id], ac != 0, &own->values[ac][id]);
        }
        built[ac][id] = true;
        lookup = &own->lookups[ac][id];
        values = &own->values[ac][id];
        standard = false;
      }
      if (id != expected_id) standard = false;
      (ac ? component.ac : component.dc) = lookup;
      (ac ? component.ac_values : component.dc_values) = values;
    }
    PrescaleQuantTable(header.quant[header.components[c].tq], tables->quant[c]);
  }
  return standard;
}

}  // namespace nsVZVP
