// The catalogue of message texts, held byte for byte: a changed text fails here before any
// score shows it. Each row gives the bytes the compile puts out: Shift-JIS for the texts it
// converts, the UTF-8 text itself for those shown as they are.

#include "core/messages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "core/sjis.h"

namespace messages {
namespace {

enum class As { kSjis, kUtf8 };

struct Entry {
  const char* name;
  std::string_view text;
  As as;
  const char* hex;
};

// clang-format off
const Entry kCatalogue[] = {
    // frontend
    {"frontend::kContentsLabel", frontend::kContentsLabel, As::kSjis, "43"},
    {"frontend::kFileListLabel", frontend::kFileListLabel, As::kSjis, "46"},
    {"frontend::kVoiceLabel", frontend::kVoiceLabel, As::kSjis, "44"},
    {"frontend::kAdpcmLabel", frontend::kAdpcmLabel, As::kSjis, "41"},
    {"frontend::kPartJoint", frontend::kPartJoint, As::kSjis, "8370815B836720"},
    {"frontend::kBracketNotClosed", frontend::kBracketNotClosed, As::kSjis,
     "8370815B836782CC8A878CCA82AA95C282B682E782EA82C482A282DC82B982F18142"},
    {"frontend::kOperatorSetting", frontend::kOperatorSetting, As::kSjis,
     "27404F2782C982CD20322082A920342082F08E7792E882B582C482AD82BE82B382A28142"},
    {"frontend::kNAlreadyGiven", frontend::kNAlreadyGiven, As::kSjis,
     "274E2782CD82B782C582C98E7792E882B382EA82C482A282DC82B78142"},
    {"frontend::kNSetting", frontend::kNSetting, As::kSjis,
     "274E2782C982CD2031302082F08E7792E882B582C482AD82BE82B382A28142"},
    {"frontend::kTooManyFourOpParts", frontend::kTooManyFourOpParts, As::kSjis,
     "83498379838C815B835E909482AA8349815B836F815B82B582C482A282DC82B78142"},
    {"frontend::kOperatorTotal", frontend::kOperatorTotal, As::kSjis,
     "83498379838C815B835E82CC8D878C7682AA8252825182F092B482A682C482A282DC82B78142"},
    {"frontend::kNoRepeatOpener", frontend::kNoRepeatOpener, As::kSjis,
     "277C3A2782AA82A082E882DC82B982F18142"},
    {"frontend::kNoRepeatCloser", frontend::kNoRepeatCloser, As::kSjis,
     "273A7C2782AA82A082E882DC82B982F18142"},
    {"frontend::kRepeatCountTooSmall", frontend::kRepeatCountTooSmall, As::kSjis,
     "277C3A2782CC838B815B837689F1909482C982CD825188C88FE382F08E7792E882B582C482AD82BE82B382A2"
     "8142"},
    {"frontend::kRepeatTooLarge", frontend::kRepeatTooLarge, As::kSjis,
     "277C3A2782CC93578A4A8CE382CC8366815B835E82AA91E582AB82B782AC82DC82B78142"},
    {"frontend::kContentsNotation", frontend::kContentsNotation, As::kSjis,
     "438370815B836793E082CC955C8B4C95FB964082C98CEB82E882AA82A082E882DC82B78142"},
    {"frontend::kContentsColon", frontend::kContentsColon, As::kSjis,
     "438370815B836793E082CC955C8B4C82C98CEB82E882AA82A082E882DC82B78142"},
    {"frontend::kContentsHex", frontend::kContentsHex, As::kSjis,
     "438370815B836793E082CC31369069909482CC955C8B4C95FB964082C98CEB82E882AA82A082E882DC82B781"
     "42"},
    // sequence
    {"sequence::kTempoMissing", sequence::kTempoMissing, As::kSjis,
     "8370815B83672027542782C9926C82AA90DD92E882B382EA82C482A282DC82B982F18142"},
    {"sequence::kTempoZero", sequence::kTempoZero, As::kSjis,
     "8370815B83672027542782C920302082CD90DD92E882C582AB82DC82B982F18142"},
    {"sequence::kLengthMissing", sequence::kLengthMissing, As::kSjis,
     "8370815B836720274C2782C9926C82AA90DD92E882B382EA82C482A282DC82B982F18142"},
    {"sequence::kLengthZero", sequence::kLengthZero, As::kSjis,
     "8370815B836720274C2782C920302082CD90DD92E882C582AB82DC82B982F18142"},
    {"sequence::kOctaveMissing", sequence::kOctaveMissing, As::kSjis,
     "8370815B836720274F2782C9926C82AA90DD92E882B382EA82C482A282DC82B982F18142"},
    {"sequence::kVolume", sequence::kVolume, As::kSjis,
     "8370815B83672027562782C982CD2030816031352082F090DD92E882B582C482AD82BE82B382A28142"},
    {"sequence::kFineVolume", sequence::kFineVolume, As::kSjis,
     "8370815B8367202740562782C982CD203081603132372082F090DD92E882B582C482AD82BE82B382A28142"},
    {"sequence::kVolumeUp", sequence::kVolumeUp, As::kSjis,
     "8370815B8367202740567E2782C982CD203181603132362082F090DD92E882B582C482AD82BE82B382A28142"},
    {"sequence::kVolumeDown", sequence::kVolumeDown, As::kSjis,
     "8370815B8367202740565F2782C982CD203181603132362082F090DD92E882B582C482AD82BE82B382A28142"},
    {"sequence::kPan", sequence::kPan, As::kSjis,
     "8370815B83672027502782C982CD20318160332082F090DD92E882B582C482AD82BE82B382A28142"},
    {"sequence::kFinePan", sequence::kFinePan, As::kSjis,
     "8370815B8367202740502782C982CD203081603132372082F090DD92E882B582C482AD82BE82B382A28142"},
    {"sequence::kExpression", sequence::kExpression, As::kSjis,
     "8370815B83672027582782C982CD2031816031352082F090DD92E882B582C482AD82BE82B382A28142"},
    {"sequence::kFineExpression", sequence::kFineExpression, As::kSjis,
     "8370815B8367202740582782C982CD203081603132372082F090DD92E882B582C482AD82BE82B382A28142"},
    {"sequence::kModulation", sequence::kModulation, As::kSjis,
     "8370815B83672027404D2782C982CD203081603132372082F090DD92E882B582C482AD82BE82B382A28142"},
    {"sequence::kGate", sequence::kGate, As::kSjis,
     "8370815B83672027512782C982CD20318160382082F090DD92E882B582C482AD82BE82B382A28142"},
    {"sequence::kKey", sequence::kKey, As::kSjis,
     "8370815B836720274B2782C982CD202D31323781603132372082F090DD92E882B582C482AD82BE82B382A281"
     "42"},
    {"sequence::kKeyUp", sequence::kKeyUp, As::kSjis,
     "8370815B836720274B7E2782C982CD203181603132372082F090DD92E882B582C482AD82BE82B382A28142"},
    {"sequence::kKeyDown", sequence::kKeyDown, As::kSjis,
     "8370815B836720274B5F2782C982CD203181603132372082F090DD92E882B582C482AD82BE82B382A28142"},
    {"sequence::kDetune", sequence::kDetune, As::kSjis,
     "8370815B83672027404B2782C982CD202D35313281603531322082F090DD92E882B582C482AD82BE82B382A2"
     "8142"},
    {"sequence::kDetuneUp", sequence::kDetuneUp, As::kSjis,
     "8370815B83672027404B7E2782C982CD203181603531322082F090DD92E882B582C482AD82BE82B382A28142"},
    {"sequence::kDetuneDown", sequence::kDetuneDown, As::kSjis,
     "8370815B83672027404B5F2782C982CD203181603531322082F090DD92E882B582C482AD82BE82B382A28142"},
    {"sequence::kOperators", sequence::kOperators, As::kSjis,
     "8370815B83672027404F2782C982CD203282A93482F090DD92E882B582C482AD82BE82B382A28142"},
    {"sequence::kRhythmPart", sequence::kRhythmPart, As::kSjis,
     "8370815B836720274E2782C982CD20313082F090DD92E882B582C482AD82BE82B382A28142"},
    {"sequence::kVoiceMa1", sequence::kVoiceMa1, As::kSjis,
     "8370815B83672027402782C982CD203081603132372082F08E7792E882B582C482AD82BE82B382A28142"},
    {"sequence::kVoiceMa2", sequence::kVoiceMa2, As::kSjis,
     "8370815B83672027402782C982CD20308160313237814131353281603231322082F08E7792E882B582C482AD"
     "82BE82B382A28142"},
    {"sequence::kTupletNested", sequence::kTupletNested, As::kSjis,
     "8370815B836720277B27209841958482F0836C8358836782B782E982B182C682CD8F6F978882DC82B982F181"
     "42"},
    {"sequence::kTupletUnclosed", sequence::kTupletUnclosed, As::kSjis,
     "8370815B836720277B2782C991CE899E82B782E9277D2782AA82A082E882DC82B982F18142"},
    {"sequence::kTupletUnopened", sequence::kTupletUnopened, As::kSjis,
     "8370815B836720277D2782C991CE899E82B782E9277B2782AA82A082E882DC82B982F18142"},
    {"sequence::kPortamentoUnopened", sequence::kPortamentoUnopened, As::kSjis,
     "8370815B83672027292782C991CE899E82B782E927282782AA82A082E882DC82B982F18142"},
    {"sequence::kByteHead", sequence::kByteHead, As::kSjis, "8370815B83672027"},
    {"sequence::kAtByteHead", sequence::kAtByteHead, As::kSjis, "8370815B8367202740"},
    {"sequence::kUnusableTail", sequence::kUnusableTail, As::kSjis,
     "2782CD8E67977082C582AB82DC82B982F18142"},
    {"sequence::kMisusedTail", sequence::kMisusedTail, As::kSjis,
     "2782CC8E6782A295FB82AA90B382B582AD82A082E882DC82B982F18142"},
    {"sequence::kBelowRangeTail", sequence::kBelowRangeTail, As::kSjis,
     "2782CD94AD89B989C2945C89B988E682F089BA82DC82ED82C182C482A282DC82B78142"},
    {"sequence::kAboveRangeTail", sequence::kAboveRangeTail, As::kSjis,
     "2782CD94AD89B989C2945C89B988E682F08FE382DC82ED82C182C482A282DC82B78142"},
    {"sequence::kLengthFaultHead", sequence::kLengthFaultHead, As::kSjis, "8370815B836720"},
    {"sequence::kTicksMissing", sequence::kTicksMissing, As::kSjis,
     "90E291CE89B992B7282A298E7792E882C582CD8FC897AA82C582AB82DC82B982F18142"},
    {"sequence::kTicksZero", sequence::kTicksZero, As::kSjis,
     "90E291CE89B992B7282A2982C920302082CD90DD92E882C582AB82DC82B982F18142"},
    {"sequence::kPercentMissing", sequence::kPercentMissing, As::kSjis,
     "90E291CE89B992B72825298E7792E882C582CD8FC897AA82C582AB82DC82B982F18142"},
    {"sequence::kPercentZero", sequence::kPercentZero, As::kSjis,
     "90E291CE89B992B728252982C920302082CD90DD92E882C582AB82DC82B982F18142"},
    {"sequence::kLengthValueZero", sequence::kLengthValueZero, As::kSjis,
     "89B992B782C920302082CD90DD92E882C582AB82DC82B982F18142"},
    {"sequence::kTupletEmpty", sequence::kTupletEmpty, As::kSjis,
     "8370815B836720277B7D27209841958493E082C989B9958482AA82A082E882DC82B982F18142"},
    {"sequence::kInTupletHead", sequence::kInTupletHead, As::kSjis,
     "8370815B83672098419584928682C927"},
    {"sequence::kMemberMarkHead", sequence::kMemberMarkHead, As::kSjis,
     "8370815B83672098419584928682CC89B9958482C92027"},
    {"sequence::kMemberMarkTail", sequence::kMemberMarkTail, As::kSjis,
     "272082F08E67977082B782E982B182C682CD8F6F978882DC82B982F18142"},
    {"sequence::kMemberLengthTail", sequence::kMemberLengthTail, As::kSjis,
     "272098419584928682CC89B9958482C982CD89B992B782F08E7792E882B782E982B182C682CD8F6F978882DC"
     "82B982F18142"},
    {"sequence::kGlideBadGroup", sequence::kGlideBadGroup, As::kSjis,
     "8370815B836720837C838B835E83818393836782CC8E7792E882AA90B382B582AD82A082E882DC82B982F181"
     "42"},
    {"sequence::kGlideCommaMisplaced", sequence::kGlideCommaMisplaced, As::kSjis,
     "8370815B836720837C838B835E83818393836793E082C582CC272C2782CC8E67977095FB964082AA8AD488E1"
     "82C182C482A282DC82B78142"},
    {"sequence::kGlideUnderscoreMisplaced", sequence::kGlideUnderscoreMisplaced, As::kSjis,
     "8370815B836720837C838B835E83818393836793E082C582CC275F2782CC8E67977095FB964082AA8AD488E1"
     "82C182C482A282DC82B78142"},
    {"sequence::kGlideRest", sequence::kGlideRest, As::kSjis,
     "8370815B83672027282720837C838B835E83818393836782C982CD27522782CD8E7792E882C582AB82DC82B9"
     "82F18142"},
    {"sequence::kGlideNested", sequence::kGlideNested, As::kSjis,
     "8370815B83672027282720837C838B835E83818393836782F0836C8358836782B782E982B182C682CD8F6F97"
     "8882DC82B982F18142"},
    {"sequence::kGlideByteHead", sequence::kGlideByteHead, As::kSjis,
     "8370815B836720837C838B835E838183938367928682C927"},
    {"sequence::kGlideByteTail", sequence::kGlideByteTail, As::kSjis,
     "2782CD8E7792E882C582AB82DC82B982F18142"},
    {"sequence::kGlideValueRange", sequence::kGlideValueRange, As::kSjis,
     "8370815B836720837C838B835E83818393836782CC914A88DA90A78CE4926C82CD2031816039382082F08E77"
     "92E882B582C482AD82BE82B382A28142"},
    {"sequence::kGlideValueSum", sequence::kGlideValueSum, As::kSjis,
     "8370815B836720837C838B835E83818393836782CC914A88DA90A78CE4926C82CD8D878C7682AA31303082C9"
     "82C882E982E682A482C98E7792E882B582C482AD82BE82B382A28142"},
    {"sequence::kGlideTooShort", sequence::kGlideTooShort, As::kSjis,
     "8370815B836720837C838B835E83818393836782CC89B992B782AA925A82B782AC82DC82B78142"},
    // core
    {"core::kPartDataTooLarge", core::kPartDataTooLarge, As::kSjis,
     "8370815B8367208366815B835E82AA91E582AB82B782AC82DC82B78142"},
    {"core::kLineMark", core::kLineMark, As::kUtf8, "E8A18C"},
    {"core::kColumnMark", core::kColumnMark, As::kUtf8, "E6A181"},
    {"core::kCharacterHead", core::kCharacterHead, As::kUtf8, "E381AEE69687E5AD972027"},
    {"core::kCharacterTail", core::kCharacterTail, As::kUtf8,
     "20E381AF53686966742D4A4953E381ABE5A489E68F9BE381A7E3818DE381BEE3819BE38293E38082"},
    {"core::kByteHead", core::kByteHead, As::kUtf8, "E381AEE38390E382A4E3838820"},
    {"core::kByteTail", core::kByteTail, As::kUtf8,
     "20E381AF5554462D38E381A8E38197E381A6E8AAADE38281E381BEE3819BE38293E38082"},
    // voices
    {"voices::kPartHead", voices::kPartHead, As::kSjis, "448370815B83672027"},
    {"voices::kQuote", voices::kQuote, As::kSjis, "27"},
    {"voices::kUnusable", voices::kUnusable, As::kSjis, "2782CD8E67977082C582AB82DC82B982F18142"},
    {"voices::kUsage", voices::kUsage, As::kSjis,
     "2782CC8E6782A295FB82AA90B382B582AD82A082E882DC82B982F18142"},
    {"voices::kVoiceNumber", voices::kVoiceNumber, As::kSjis,
     "2782C990B382B582A289B9904694D48D8682F090DD92E882B582C482AD82BE82B382A28142"},
    {"voices::kParamMissing", voices::kParamMissing, As::kSjis,
     "2782CC837083898381815B835E82AA90B382B582AD82A082E882DC82B982F18142"},
    {"voices::kRawRange", voices::kRawRange, As::kSjis,
     "2782CC837083898381815B835E82C982CD2030208160203235352082F08E7792E882B582C482AD82BE82B382"
     "A28142"},
    {"voices::kParamCountHead", voices::kParamCountHead, As::kSjis,
     "2782CC837083898381815B835E82CD"},
    {"voices::kRawTooManyTail", voices::kRawTooManyTail, As::kSjis, "8CC282DC82C582C582B78142"},
    {"voices::kTooFewTail", voices::kTooFewTail, As::kSjis,
     "8CC28E7792E882B582C482AD82BE82B382A28142"},
    {"voices::kArgumentWrong", voices::kArgumentWrong, As::kSjis,
     "2782CC88F8909482C98CEB82E882AA82A082E882DC82B78142"},
    {"voices::kArgumentCountHead", voices::kArgumentCountHead, As::kSjis, "2782CC88F8909482CD"},
    {"voices::kArgumentCountTail", voices::kArgumentCountTail, As::kSjis, "8CC282C582B78142"},
    {"voices::kSettingMissing", voices::kSettingMissing, As::kSjis,
     "2782C990B382B582A2926C82F090DD92E882B582C482AD82BE82B382A28142"},
    {"voices::kSettingA", voices::kSettingA, As::kSjis,
     "2782C982CD20302082A920312082F090DD92E882B582C482AD82BE82B382A28142"},
    {"voices::kSettingC", voices::kSettingC, As::kSjis,
     "2782C982CD203020816020332082F090DD92E882B582C482AD82BE82B382A28142"},
    {"voices::kSettingD", voices::kSettingD, As::kSjis,
     "2782C982CD2030208160203235352082F090DD92E882B582C482AD82BE82B382A28142"},
    {"voices::kSettingTimebase", voices::kSettingTimebase, As::kSjis,
     "2782C982CD20302081602033814131362081602031392082F090DD92E882B582C482AD82BE82B382A28142"},
    {"voices::kEffectFrequency", voices::kEffectFrequency, As::kSjis,
     "834783748346834E83678EFC9467909482C982CD20308160332082F08E7792E882B582C482AD82BE82B382A2"
     "8142"},
    {"voices::kFeedback", voices::kFeedback, As::kSjis,
     "83748342815B8368836F8362834E82C982CD20308160372082F08E7792E882B582C482AD82BE82B382A28142"},
    {"voices::kAlgorithm2", voices::kAlgorithm2, As::kSjis,
     "8341838B8353838A8359838082C982CD20308160312082F08E7792E882B582C482AD82BE82B382A28142"},
    {"voices::kAlgorithm4", voices::kAlgorithm4, As::kSjis,
     "8341838B8353838A8359838082C982CD20308160332082F08E7792E882B582C482AD82BE82B382A28142"},
    {"voices::kAlgorithmV2", voices::kAlgorithmV2, As::kSjis,
     "8341838B8353838A8359838082C982CD20318160322082F08E7792E882B582C482AD82BE82B382A28142"},
    {"voices::kAlgorithmV4", voices::kAlgorithmV4, As::kSjis,
     "8341838B8353838A8359838082C982CD20338160362082F08E7792E882B582C482AD82BE82B382A28142"},
    {"voices::kWaveform", voices::kWaveform, As::kSjis,
     "83458346815B837583748348815B838082C982CD20308160372082F08E7792E882B582C482AD82BE82B382A2"
     "8142"},
    {"voices::kWaveformV", voices::kWaveformV, As::kSjis,
     "83458346815B837583748348815B838082C982CD20318160382082F08E7792E882B582C482AD82BE82B382A2"
     "8142"},
    {"voices::kMultiple", voices::kMultiple, As::kSjis,
     "837D838B83608376838B82C982CD2030816031352082F08E7792E882B582C482AD82BE82B382A28142"},
    {"voices::kEnvelope", voices::kEnvelope, As::kSjis,
     "834783938378838D815B837682C982CD20308160312082F08E7792E882B582C482AD82BE82B382A28142"},
    {"voices::kSustainFlag", voices::kSustainFlag, As::kSjis,
     "8354835883658342839383748389834F82C982CD20308160312082F08E7792E882B582C482AD82BE82B382A2"
     "8142"},
    {"voices::kKeyScaleRate", voices::kKeyScaleRate, As::kSjis,
     "834C815B83588350815B838B838C815B836782C982CD20308160312082F08E7792E882B582C482AD82BE82B3"
     "82A28142"},
    {"voices::kKeyScaleRateV", voices::kKeyScaleRateV, As::kSjis,
     "834C815B83588350815B838B838C815B836782C982CD20318160322082F08E7792E882B582C482AD82BE82B3"
     "82A28142"},
    {"voices::kKeyScaleLevel", voices::kKeyScaleLevel, As::kSjis,
     "834C815B83588350815B838B838C8378838B82C982CD20308160332082F08E7792E882B582C482AD82BE82B3"
     "82A28142"},
    {"voices::kVibratoFlag", voices::kVibratoFlag, As::kSjis,
     "837283758389815B836783748389834F82C982CD20308160312082F08E7792E882B582C482AD82BE82B382A2"
     "8142"},
    {"voices::kVibratoLevel", voices::kVibratoLevel, As::kSjis,
     "837283758389815B8367838C8378838B82C982CD20308160332082F08E7792E882B582C482AD82BE82B382A2"
     "8142"},
    {"voices::kVibratoV", voices::kVibratoV, As::kSjis,
     "837283758389815B836782C982CD20308160342082F08E7792E882B582C482AD82BE82B382A28142"},
    {"voices::kTremoloFlag", voices::kTremoloFlag, As::kSjis,
     "8367838C8382838D83748389834F82C982CD20308160312082F08E7792E882B582C482AD82BE82B382A28142"},
    {"voices::kTremoloLevel", voices::kTremoloLevel, As::kSjis,
     "8367838C8382838D838C8378838B82C982CD20308160332082F08E7792E882B582C482AD82BE82B382A28142"},
    {"voices::kTremoloV", voices::kTremoloV, As::kSjis,
     "8367838C8382838D82C982CD20308160342082F08E7792E882B582C482AD82BE82B382A28142"},
    {"voices::kAttackRate", voices::kAttackRate, As::kSjis,
     "8341835E8362834E838C815B836782C982CD2030816031352082F08E7792E882B582C482AD82BE82B382A281"
     "42"},
    {"voices::kDecayRate", voices::kDecayRate, As::kSjis,
     "8366834283508343838C815B836782C982CD2030816031352082F08E7792E882B582C482AD82BE82B382A281"
     "42"},
    {"voices::kDecayRateV", voices::kDecayRateV, As::kSjis,
     "8366834283508343838C815B836782C982CD2031816031362082F08E7792E882B582C482AD82BE82B382A281"
     "42"},
    {"voices::kSustainLevel", voices::kSustainLevel, As::kSjis,
     "8354835883658342815B8393838C8378838B82C982CD2030816031352082F08E7792E882B582C482AD82BE82"
     "B382A28142"},
    {"voices::kSustainLevelV", voices::kSustainLevelV, As::kSjis,
     "8354835883658342815B8393838C8378838B82C982CD2031816031362082F08E7792E882B582C482AD82BE82"
     "B382A28142"},
    {"voices::kReleaseRate", voices::kReleaseRate, As::kSjis,
     "838A838A815B8358838C815B836782C982CD2030816031352082F08E7792E882B582C482AD82BE82B382A281"
     "42"},
    {"voices::kReleaseRateV", voices::kReleaseRateV, As::kSjis,
     "838A838A815B8358838C815B836782C982CD2031816031362082F08E7792E882B582C482AD82BE82B382A281"
     "42"},
    {"voices::kTotalLevel", voices::kTotalLevel, As::kSjis,
     "8367815B835E838B838C8378838B82C982CD2030816036332082F08E7792E882B582C482AD82BE82B382A281"
     "42"},
    {"voices::kTotalLevelV", voices::kTotalLevelV, As::kSjis,
     "8367815B835E838B838C8378838B82C982CD2031816036342082F08E7792E882B582C482AD82BE82B382A281"
     "42"},
    // adpcm
    {"adpcm::kFileUnusableHead", adpcm::kFileUnusableHead, As::kSjis, "468370815B83672027"},
    {"adpcm::kFileUnusableTail", adpcm::kFileUnusableTail, As::kSjis,
     "2782CD8E67977082C582AB82DC82B982F18142"},
    {"adpcm::kWaveTypeWrong", adpcm::kWaveTypeWrong, As::kSjis,
     "468370815B83672027532782C982CD20342082A920382082F08E7792E882B582C482AD82BE82B382A28142"},
    {"adpcm::kOpenInName", adpcm::kOpenInName, As::kSjis,
     "468370815B836720837483408343838B96BC82C9273C2782CD8E67977082C582AB82DC82B982F18142"},
    {"adpcm::kCloseWithoutName", adpcm::kCloseWithoutName, As::kSjis,
     "468370815B836720837483408343838B96BC82C9273E2782CD8E67977082C582AB82DC82B982F18142"},
    {"adpcm::kFileSpecWrong", adpcm::kFileSpecWrong, As::kSjis,
     "468370815B836720414450434D837483408343838B82CC8E7792E882C98CEB82E882AA82A082E882DC82B781"
     "42"},
    {"adpcm::kPartHead", adpcm::kPartHead, As::kSjis, "8370815B836720"},
    {"adpcm::kNotRegistered", adpcm::kNotRegistered, As::kSjis,
     "27012782C982CD414450434D837483408343838B82AA936F985E82B382EA82C482A282DC82B982F18142"},
    {"adpcm::kCannotUse", adpcm::kCannotUse, As::kSjis,
     "27012782CD8E67977082C582AB82DC82B982F18142"},
    {"adpcm::kWrongUse", adpcm::kWrongUse, As::kSjis,
     "27012782CC8E6782A295FB82AA90B382B582AD82A082E882DC82B982F18142"},
    {"adpcm::kVoiceCannotUse", adpcm::kVoiceCannotUse, As::kSjis,
     "27402782CD8E67977082C582AB82DC82B982F18142"},
    {"adpcm::kAtCannotUse", adpcm::kAtCannotUse, As::kSjis,
     "2740012782CD8E67977082C582AB82DC82B982F18142"},
    {"adpcm::kLMissing", adpcm::kLMissing, As::kSjis,
     "274C2782C9926C82AA90DD92E882B382EA82C482A282DC82B982F18142"},
    {"adpcm::kLZero", adpcm::kLZero, As::kSjis,
     "274C2782C920302082CD90DD92E882C582AB82DC82B982F18142"},
    {"adpcm::kQRange", adpcm::kQRange, As::kSjis,
     "27512782C982CD20318160382082F090DD92E882B582C482AD82BE82B382A28142"},
    {"adpcm::kTMissing", adpcm::kTMissing, As::kSjis,
     "27542782C9926C82AA90DD92E882B382EA82C482A282DC82B982F18142"},
    {"adpcm::kTZero", adpcm::kTZero, As::kSjis,
     "27542782C920302082CD90DD92E882C582AB82DC82B982F18142"},
    {"adpcm::kVRange", adpcm::kVRange, As::kSjis,
     "27562782C982CD2030816031352082F090DD92E882B582C482AD82BE82B382A28142"},
    {"adpcm::kAtVRange", adpcm::kAtVRange, As::kSjis,
     "2740562782C982CD203081603132372082F090DD92E882B582C482AD82BE82B382A28142"},
    {"adpcm::kAtVRelativeRange", adpcm::kAtVRelativeRange, As::kSjis,
     "274056012782C982CD203181603132362082F090DD92E882B582C482AD82BE82B382A28142"},
    {"adpcm::kSlur", adpcm::kSlur, As::kSjis,
     "2726272082B182CC8370815B836782C582CD83588389815B82C682B582C48E67977082C582AB82DC82B982F1"
     "8142"},
    {"adpcm::kNested", adpcm::kNested, As::kSjis,
     "277B27209841958482F0836C8358836782B782E982B182C682CD8F6F978882DC82B982F18142"},
    {"adpcm::kNoOpenBrace", adpcm::kNoOpenBrace, As::kSjis,
     "277D2782C991CE899E82B782E9277B2782AA82A082E882DC82B982F18142"},
    {"adpcm::kNoCloseBrace", adpcm::kNoCloseBrace, As::kSjis,
     "277B2782C991CE899E82B782E9277D2782AA82A082E882DC82B982F18142"},
    {"adpcm::kMemberLength", adpcm::kMemberLength, As::kSjis,
     "2701272098419584928682CC89B9958482C982CD89B992B782F08E7792E882B782E982B182C682CD8F6F9788"
     "82DC82B982F18142"},
    {"adpcm::kNotInTuplet", adpcm::kNotInTuplet, As::kSjis,
     "98419584928682C927012782CD8E67977082C582AB82DC82B982F18142"},
    {"adpcm::kNotOnMember", adpcm::kNotOnMember, As::kSjis,
     "98419584928682CC89B9958482C927012782F08E67977082B782E982B182C682CD8F6F978882DC82B982F181"
     "42"},
    {"adpcm::kEmptyTuplet", adpcm::kEmptyTuplet, As::kSjis,
     "277B7D27209841958493E082C989B9958482AA82A082E882DC82B982F18142"},
    {"adpcm::kGroupLength", adpcm::kGroupLength, As::kSjis, "277D2720"},
    // mmf
    {"mmf::kNoNoteData", mmf::kNoNoteData, As::kSjis,
     "89B995848366815B835E82AA82A082E882DC82B982F182C582B582BD8142"},
    {"mmf::kWaveNotFoundHead", mmf::kWaveNotFoundHead, As::kSjis, "414450434D837483408343838B22"},
    {"mmf::kWaveNotFoundTail", mmf::kWaveNotFoundTail, As::kSjis,
     "2282AA8CA982C282A982E882DC82B982F182C582B582BD8142"},
    {"mmf::kWaveOpenFailed", mmf::kWaveOpenFailed, As::kSjis,
     "414450434D837483408343838B82CC8349815B8376839382C98EB8947382B582DC82B582BD8142"},
    {"mmf::kDataTooLarge", mmf::kDataTooLarge, As::kSjis,
     "8366815B835E82AA91E582AB82B782AC82DC82B78142"},
    {"mmf::kTooManyVoices", mmf::kTooManyVoices, As::kSjis,
     "8E67977082B382EA82C482A282E989B99046909482AA90A78CC082F0897A82A682C482A282DC82B78142"},
    // job
    {"job::kNotProcessed", job::kNotProcessed, As::kUtf8,
     "20E381AFE587A6E79086E38195E3828CE381BEE3819BE38293E381A7E38197E3819FE38082"},
    {"job::kOpenFailed", job::kOpenFailed, As::kUtf8,
     "20E38395E382A1E382A4E383ABE381AEE382AAE383BCE38397E383B3E381ABE5A4B1E69597E38197E381BEE3"
     "8197E3819FE38082"},
    {"job::kWriteFailed", job::kWriteFailed, As::kUtf8,
     "20E38395E382A1E382A4E383ABE381AEE69BB8E3818DE8BEBCE381BFE381ABE5A4B1E69597E38197E381BEE3"
     "8197E3819FE38082"},
    {"job::kProcessed", job::kProcessed, As::kUtf8,
     "20E381AFE6ADA3E38197E3818FE587A6E79086E38195E3828CE381BEE38197E3819FE38082"},
    {"job::kOutOfMemory", job::kOutOfMemory, As::kUtf8,
     "20E383A1E383A2E383AAE381AEE7A2BAE4BF9DE381ABE5A4B1E69597E38197E381BEE38197E3819FE38082"},
    {"job::kReportNoteHead", job::kReportNoteHead, As::kUtf8, "0D0AE280BB"},
    {"job::kReportNoteTail", job::kReportNoteTail, As::kUtf8,
     "E381AFE4BD9CE68890E38195E3828CE381A6E38184E381BEE38199E380820D0AE4B88AE8A898E381AEE383A1"
     "E38383E382BBE383BCE382B8E381AF4D4131E38395E382A9E383BCE3839EE38383E38388E4BB95E6A798E381"
     "ABE59FBAE381A5E3818FE38282E381AEE381A70D0AE5958FE9A18CE381AAE3818FE5868DE7949FE381A7E381"
     "8DE3828BE6A99FE7A8AEE38282E38182E3828AE381BEE38199E38082"},
    {"job::kRangePart", job::kRangePart, As::kSjis, "8370815B8367"},
    {"job::kSpanTooWide", job::kSpanTooWide, As::kSjis,
     "2089B992F682CC94CD88CD82AA90A78CC082F0897A82A682C482A282DC82B781420D0A"},
    {"job::kTooLow", job::kTooLow, As::kSjis,
     "20226F324323222088C889BA82CC89B982AA82A082E882DC82B781420D0A"},
    {"job::kVoiceRangeHead", job::kVoiceRangeHead, As::kSjis, "2089B990462240"},
    {"job::kVoiceRangeLow", job::kVoiceRangeLow, As::kSjis, "2282CC94AD89B989C2945C89B988E6286F"},
    {"job::kVoiceRangeHigh", job::kVoiceRangeHigh, As::kSjis, "432381606F"},
    {"job::kVoiceRangeTail", job::kVoiceRangeTail, As::kSjis,
     "432982F0897A82A682C482A282DC82B781420D0A"},
};
// clang-format on

std::string Hex(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", static_cast<uint8_t>(c));
    out += pair;
  }
  return out;
}

TEST(MessagesTest, EveryTextKeepsItsBytes) {
  for (const Entry& e : kCatalogue) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(Hex(e.as == As::kSjis ? Sjis(e.text) : std::string(e.text)), e.hex);
  }
}

// Every text the header declares has its row: a new text cannot slip in unheld.
TEST(MessagesTest, TheTableHoldsTheWholeCatalogue) {
  std::ifstream in(std::string(QUAVREX_SOURCE_DIR) + "/core/messages.h");
  ASSERT_TRUE(in.good());
  const std::regex group(R"(^namespace (\w+) \{)");
  const std::regex text(R"(^inline constexpr std::string_view (k\w+) =)");
  std::set<std::string> declared;
  std::string current;
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_search(line, m, group)) {
      current = m[1];
    } else if (std::regex_search(line, m, text)) {
      declared.insert(current + "::" + std::string(m[1]));
    }
  }
  std::set<std::string> held;
  for (const Entry& e : kCatalogue) {
    EXPECT_TRUE(held.insert(e.name).second) << "two rows for " << e.name;
  }
  ASSERT_FALSE(declared.empty());
  for (const std::string& name : declared) {
    EXPECT_EQ(held.count(name), 1u) << name << " has no row";
  }
  for (const std::string& name : held) {
    EXPECT_EQ(declared.count(name), 1u) << name << " is not in core/messages.h";
  }
}

TEST(MessagesTest, AdpcmMessagesTakeTheByteAtTheMarker) {
  EXPECT_EQ(adpcm::Message(adpcm::kCannotUse, 'Z'), Sjis("Aパート 'Z'は使用できません。"));
  // The end of the text (a zero byte) is left out; a text without a marker takes no byte.
  EXPECT_EQ(adpcm::Message(adpcm::kCannotUse, '\0'), Sjis("Aパート ''は使用できません。"));
  EXPECT_EQ(adpcm::Message(adpcm::kSlur),
            Sjis("Aパート '&' このパートではスラーとして使用できません。"));
  // A double-byte character's lead byte goes in raw, not converted.
  EXPECT_EQ(adpcm::Message(adpcm::kNotInTuplet, '\x82'),
            Sjis("Aパート 連符中に'") + "\x82" + Sjis("'は使用できません。"));
}

}  // namespace
}  // namespace messages
