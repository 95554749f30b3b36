// The platforms under test, and the instantiation of every conformance suite over them.
#include "ConformanceStage.h"

namespace tarvik::conformance {

const std::vector<StageKind>& StageKinds() {
    static const std::vector<StageKind> kinds = {
        {"FakeUsEnglish", [] { return MakeFakeStage(false); }},
        {"FakeRussian", [] { return MakeFakeStage(true); }},
#ifdef TARVIK_REAL_PLATFORM
        {"Win32", [] { return MakeWin32Stage(); }},
#endif
    };
    return kinds;
}

namespace {

std::string KindName(const ::testing::TestParamInfo<StageKind>& info) {
    return info.param.name;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(On, BaseServicesConformance, ::testing::ValuesIn(StageKinds()),
                         KindName);
INSTANTIATE_TEST_SUITE_P(On, AtomsConformance, ::testing::ValuesIn(StageKinds()), KindName);
INSTANTIATE_TEST_SUITE_P(On, HotKeysConformance, ::testing::ValuesIn(StageKinds()), KindName);
INSTANTIATE_TEST_SUITE_P(On, HiddenWindowConformance, ::testing::ValuesIn(StageKinds()),
                         KindName);
INSTANTIATE_TEST_SUITE_P(On, KeyboardConformance, ::testing::ValuesIn(StageKinds()),
                         KindName);

}  // namespace tarvik::conformance
