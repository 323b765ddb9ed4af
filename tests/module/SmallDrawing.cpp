#include "SmallDrawing.h"

#include "equipment/MapRoutines.h"
#include "host/AttributeRecords.h"
#include "platform/Gbk.h"

namespace moduletest {

namespace {

CString Number(double value) { return CString::Formatted("%g", value); }

}  // namespace

SmallDrawing::SmallDrawing() {
    host::Layer layer;
    layer.id = 0;
    layer.name = FromUtf8("供电");
    m_document.layers().push_back(layer);
    // client = ((x - 0) * 2, (100 - y) * 2)
    m_document.view() = host::MapView{0.0, 100.0, 2.0};
}

LONG SmallDrawing::Add(const char* kind, const char* name) {
    host::MapObject o;
    o.entityId = Next();
    o.handle = Handle(o.entityId);
    o.entityType = host::EntityType::Symbol;
    o.kind = FromUtf8(kind);
    o.name = FromUtf8(name);
    const std::string k = kind;
    if (k == host::KindName::MobileSubstation || k == host::KindName::MineTransformer) {
        o.entityType = host::EntityType::Transformer;
        for (LONG field : {AttributeField::FeederSwitchModel, AttributeField::FeederSwitchSettings,
                           AttributeField::HighVoltageSwitchModel, AttributeField::HighVoltageSwitchSettings,
                           AttributeField::FeederSwitchCheck, AttributeField::HighVoltageSwitchCheck}) {
            o.fields[field] = {};
        }
    }
    return m_document.AddObject(std::move(o)).entityId;
}

LONG SmallDrawing::Motor(const char* name, double ratedA, double startA, bool groupStart) {
    const LONG id = Add(host::KindName::Motor, name);
    host::MotorData motor;
    motor.ratedPowerKW = ratedA / 2.0;
    motor.ratedCurrentA = ratedA;
    motor.ratedVoltageV = 660;
    motor.startCurrentA = startA;
    motor.powerFactor = 0.85;
    motor.groupStart = groupStart;
    Object(id).motor = motor;
    return id;
}

LONG SmallDrawing::Cable(LONG from, LONG to, std::optional<double> lengthM, std::optional<double> crossSectionMm2) {
    host::MapObject o;
    o.entityId = Next();
    o.handle = Handle(o.entityId);
    o.entityType = host::EntityType::Line;
    o.kind = FromUtf8(host::KindName::Cable);
    o.name = CString::Formatted("c%d", static_cast<int>(o.entityId));
    o.isLine = true;
    o.fromEntity = from;
    o.toEntity = to;
    if (lengthM) o.fields[AttributeField::CableLength] = {Number(*lengthM)};
    if (crossSectionMm2) o.fields[AttributeField::CableModel] = {"1", "", "660", "", Number(*crossSectionMm2)};
    return m_document.AddObject(std::move(o)).entityId;
}

LONG SmallDrawing::Point(const char* name, const char* owner, double ikA, double x, double y) {
    host::MapObject o;
    o.entityId = Next();
    o.handle = Handle(o.entityId);
    o.entityType = host::EntityType::ShortCircuitPoint;
    o.kind = FromUtf8(host::KindName::ShortCircuitPoint);
    o.name = FromUtf8(name);
    o.insertion = {x, y, 0};
    o.outline = {{x - 2, y - 1, 0}, {x + 2, y - 1, 0}, {x + 2, y + 1, 0}, {x - 2, y + 1, 0}};
    host::AttributeRow row(12);
    row[1] = CString::Formatted("%0.2f", ikA);
    row[7] = FromUtf8(owner);
    o.fields[AttributeField::ShortCircuitPoint] = row;
    return m_document.AddObject(std::move(o)).entityId;
}

host::MapObject& SmallDrawing::Object(LONG entityId) {
    host::MapObject* object = m_document.FindByEntity(entityId);
    if (!object) {
        ADD_FAILURE() << "no entity " << entityId;
        static host::MapObject none;
        return none;
    }
    return *object;
}

void SmallDrawing::Open() {
    m_session = std::make_unique<host::HostSession>(m_document);
    CollectMapObjects(Map(), &m_objects, &m_ids);
}

}  // namespace moduletest
