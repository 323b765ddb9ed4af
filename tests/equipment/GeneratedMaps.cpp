#include "GeneratedMaps.h"

#include <string>
#include <vector>

#include "host/AttributeRecords.h"
#include "host/Kernel.h"
#include "platform/Gbk.h"

namespace jdtest {

namespace {

const char* const kKinds[] = {
    host::KindName::MobileSubstation, host::KindName::MineTransformer, host::KindName::Starter,
    host::KindName::ProtectionUnit,   host::KindName::HvDistributionBox, host::KindName::OneToTwoSwitch,
    host::KindName::Motor,            host::KindName::Motor,            host::KindName::ShortCircuitPoint,
    "馈电开关",
};

host::MotorData RandomMotor(std::mt19937& rng) {
    std::uniform_int_distribution<int> power(1, 40);
    std::bernoulli_distribution coin(0.5);
    host::MotorData motor;
    motor.ratedPowerKW = 7.5 * power(rng);
    motor.ratedCurrentA = motor.ratedPowerKW * 1.15;
    motor.ratedVoltageV = 660.0;
    motor.startCurrentA = motor.ratedCurrentA * 6.0;
    motor.powerFactor = 0.85;
    motor.running = coin(rng) || coin(rng);
    motor.groupStart = coin(rng);
    return motor;
}

}  // namespace

host::MapDocument MakeRandomMap(uint32_t seed, const RandomMapShape& shape) {
    std::mt19937 rng(seed);
    host::MapDocument map;
    map.layers().push_back(host::Layer{0, CString("0"), 0, {}});
    std::uniform_int_distribution<int> kind(0, static_cast<int>(std::size(kKinds)) - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    const int namePool = shape.namePool > 0 ? shape.namePool : shape.objects;
    std::uniform_int_distribution<int> nameOf(0, namePool - 1);
    std::vector<LONG> transformers;
    for (int i = 0; i < shape.objects; ++i) {
        host::MapObject object;
        object.kind = FromUtf8(kKinds[kind(rng)]);
        const int roll = percent(rng);
        if (roll < 5) object.name = CString();
        else object.name = FromUtf8("对象" + std::to_string(nameOf(rng)));
        if (object.kind == FromUtf8(host::KindName::Motor) && percent(rng) < 80) object.motor = RandomMotor(rng);
        // Now and then a symbol of another kind carries motor data: it is a motor all the same.
        if (object.kind != FromUtf8(host::KindName::Motor) && percent(rng) < 4) object.motor = RandomMotor(rng);
        const bool isTransformer = object.kind == FromUtf8(host::KindName::MobileSubstation) ||
                                   object.kind == FromUtf8(host::KindName::MineTransformer);
        if (isTransformer) {
            object.entityType = host::EntityType::Transformer;
            if (percent(rng) < 70) {
                object.fields[AttributeField::TransformerModel] = {
                    "1", "KBSG-200/6", FromUtf8("移动变电站"), "200.00", "6000", percent(rng) < 50 ? "690" : "1200"};
            }
        }
        const host::MapObject& added = map.AddObject(std::move(object));
        if (isTransformer) transformers.push_back(added.handle);
    }
    const std::vector<host::MapObject> symbols = map.objects();
    std::uniform_int_distribution<size_t> pick(0, symbols.size() - 1);
    for (int i = 0; i < shape.lines; ++i) {
        host::MapObject line;
        line.isLine = true;
        line.entityType = host::EntityType::Line;
        line.kind = FromUtf8(host::KindName::Cable);
        line.name = percent(rng) < 10 ? CString() : FromUtf8("电缆" + std::to_string(nameOf(rng)));
        line.fromEntity = percent(rng) < 4 ? 0 : symbols[pick(rng)].entityId;
        // Mostly downwards in document order, so that the drawing looks like a
        // supply network; the rest anywhere, which makes loops and joins.
        const size_t from = pick(rng);
        line.toEntity = percent(rng) < 4 ? 0 : symbols[percent(rng) < 70 ? std::max(from, pick(rng)) : pick(rng)].entityId;
        line.fields[AttributeField::CableLength] = {CString::Formatted("%d", 10 + percent(rng) * 5)};
        line.fields[AttributeField::CableModel] = {"1", "MY-3x35", "660", "", percent(rng) < 90 ? "35" : ""};
        map.AddObject(std::move(line));
    }
    // Supply paths of the points name a transformer (kind 0: field 2; kind 1:
    // field 3), a stale name now and then.
    for (host::MapObject& object : map.objects()) {
        if (object.kind != FromUtf8(host::KindName::ShortCircuitPoint)) continue;
        const host::MapObject* t = transformers.empty() ? nullptr : map.FindByHandle(transformers[pick(rng) % transformers.size()]);
        const CString named = t && percent(rng) < 85 ? t->name : FromUtf8("改名前的变压器");
        const bool kindZero = percent(rng) < 50;
        const CString path = kindZero ? "0;690;" + named + ",KBSG,200;602;" : "1;690;a/b;" + named + ",0.0117,0.0363;0.1659;0.0808;";
        object.fields[AttributeField::ShortCircuitPoint] = {"", "1000.00", "", "", "", "", "", "", "", "", "", path};
    }
    return map;
}

host::MapDocument MakeSupplyChain(int depth) {
    host::MapDocument map;
    map.layers().push_back(host::Layer{0, CString("0"), 0, {}});
    map.objects().reserve(static_cast<size_t>(2 * depth + 3));
    host::MapObject transformer;
    transformer.kind = FromUtf8(host::KindName::MobileSubstation);
    transformer.entityType = host::EntityType::Transformer;
    transformer.name = CString("T");
    LONG above = map.AddObject(std::move(transformer)).entityId;
    const CString switchKind = FromUtf8("馈电开关");
    for (int i = 0; i <= depth; ++i) {
        host::MapObject below;
        if (i < depth) {
            below.kind = switchKind;
            below.name = CString::Formatted("S%d", i + 1);
        } else {
            below.kind = FromUtf8(host::KindName::Motor);
            below.name = CString("M");
            host::MotorData motor;
            motor.ratedPowerKW = 55.0;
            motor.ratedCurrentA = 63.0;
            motor.ratedVoltageV = 660.0;
            motor.startCurrentA = 378.0;
            motor.powerFactor = 0.85;
            below.motor = motor;
        }
        const LONG id = map.AddObject(std::move(below)).entityId;
        host::MapObject cable;
        cable.isLine = true;
        cable.entityType = host::EntityType::Line;
        cable.kind = FromUtf8(host::KindName::Cable);
        cable.fromEntity = above;
        cable.toEntity = id;
        cable.fields[AttributeField::CableLength] = {"1"};
        cable.fields[AttributeField::CableModel] = {"1", "MY-3x35", "660", "", "35"};
        map.AddObject(std::move(cable));
        above = id;
    }
    return map;
}

KernelMapScope::KernelMapScope(host::MapDocument& document) : m_handle(KernelAttachMap(document)) {}
KernelMapScope::~KernelMapScope() { KernelDetachMap(m_handle); }

}  // namespace jdtest
