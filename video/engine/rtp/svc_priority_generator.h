#pragma once
// The SVC priority generator: learns the stream's layers from the
// scalability information SEI, chooses for each receiver class ("output",
// with a wanted size and frame rate) an operating point, numbers the layers
// that point needs and maps the numbers to the 4-bit drop priorities
// lowest..highest (15 = not needed by that class). For each NAL unit it then
// reports the layer identity and one priority per class.
//
// A new SEI message is parsed into a scratch record and takes effect only
// when it parses whole. Layers beyond the table (T 5, Q 8) and priority
// values beyond the map count as not needed.
//
// Threads: the packer's encoding thread.
#include <array>
#include <cstdint>
#include <vector>

#include "video/engine/rtp/svc_priority_source.h"
#include "video/engine/rtp/svc_scalability_info.h"

// How an output orders the layers it needs into priority values, for each
// needed dependency id in increasing order:
enum SvcPriorityMode : int {
  // quality level by quality level, the temporal levels inside each; base
  // quality layers at or below the previous dependency id's temporal levels
  // share one value;
  kSvcPriorityQualityFirst = 0,
  // temporal level by temporal level, the quality levels inside each; a base
  // quality layer at or below the previous dependency id's temporal levels
  // takes the value of its dependency id's base layer;
  kSvcPriorityTemporalFirst = 1,
  // every layer of temporal level t gets t (of the highest dependency id
  // only its base quality), then the highest dependency id's quality layers
  // follow. Any other mode leaves every needed layer at 0.
  kSvcPriorityByTemporalLevel = 2,
};

struct SvcOutput {
  int index = 0;
  int width = 0;
  int height = 0;
  float frame_rate = 0;
  int lowest_priority = 0;
  int highest_priority = 14;
  int priority_mode = kSvcPriorityQualityFirst;
};

class CSvcPriorityGenerator final : public ISvcPrioritySource {
 public:
  static constexpr int kMaxD = 8;
  static constexpr int kMaxT = 5;  // table covers T 0..4
  static constexpr int kMaxQ = 8;  // table covers Q 0..7
  static constexpr int kNotNeeded = 15;

  // 1 to 4 outputs; else 1.
  int SetOutputs(int count, const SvcOutput* outputs);

  int InputNal(const uint8_t* nal, int length) override;
  int Priorities(int* priorities, int count) override;
  void LayerIdentity(int* d, int* t, int* q) const override;
  int TemporalLayerCount(int d) const override;

  // The numbering of output i: value per layer (-1 = not needed), or empty
  // when the output has no usable operating point.
  const std::vector<int>& LayerValuesForTesting(int output) const { return tables_[output].values; }
  int GreatestValueForTesting(int output) const { return tables_[output].greatest; }

 private:
  struct OutputTable {
    bool ok = false;
    std::vector<int> values;
    int greatest = 0;
    std::vector<int> map;  // value -> priority
  };
  void Rebuild();
  // One output's table from the scalability information, step by step;
  // false when the output has no usable operating point.
  bool BuildOutput(const SvcOutput& output, OutputTable* table);
  // The layer size nearest the output's (640 x 480 when no layer has one).
  void ChooseSize(const SvcOutput& output, int* width, int* height) const;
  // The layer whose frame rate is nearest the output's among those of that
  // size; -1 when there is none.
  int ChooseOperatingLayer(const SvcOutput& output, int width, int height) const;
  // Each layer's direct dependencies as layer indices; false when a layer
  // has more than kMaxDirectDependencies.
  bool FindDependencies(std::vector<std::vector<int>>* deps) const;
  // Value 0 for the layers the operating point's dependency id needs (-1
  // for the others); gives the needed dependency ids in increasing order.
  std::vector<int> MarkNeededLayers(int op_d, const std::vector<std::vector<int>>& deps,
                                    std::vector<int>* values) const;
  // The numbering of the priority modes; false when a needed dependency id
  // has more temporal or quality levels than an SVC header can carry.
  bool NumberQualityFirst(const std::vector<int>& needed, std::vector<int>* values) const;
  bool NumberTemporalFirst(const std::vector<int>& needed, std::vector<int>* values) const;
  void NumberByTemporalLevel(const std::vector<int>& needed, std::vector<int>* values) const;
  // The greatest value and the map from values to the output's priorities.
  static void BuildPriorityMap(const SvcOutput& output, OutputTable* table);
  int LayerIndex(int d, int t, int q) const;
  int PriorityOf(int output) const;

  std::vector<SvcOutput> outputs_;
  std::array<OutputTable, kMaxOutputs> tables_;
  vz::rtp::SvcScalabilityInfo info_;
  bool have_info_ = false;
  // Derived tables.
  int greatest_d_ = -1;
  std::array<int, kMaxD> greatest_t_{};
  std::array<int, kMaxD> greatest_q_{};
  std::vector<int> index_;  // [d][t][q] -> layer index or -1
  // The current NAL unit.
  int last_type_ = 0;
  bool non_reference_ = false;
  bool after_prefix_ = false;
  int d_ = 0, t_ = 0, q_ = 0;
};
