#pragma once
// A high-voltage (vacuum) switch model: one row of Para_HighVoltageSwitch.
#include "equipment/Device.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class JDBASE_API CHighVoltageSwitch final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

    double GetVoltage() const { return m_dVoltage; }            // rated voltage, V
    void SetVoltage(double v) { m_dVoltage = v; }
    double GetCurrent() const { return m_dCurrent; }            // rated current, A
    void SetCurrent(double v) { m_dCurrent = v; }
    double GetCapacity() const { return m_dCapacity; }          // breaking capacity, MVA
    void SetCapacity(double v) { m_dCapacity = v; }
    double GetCutCurrent() const { return m_dCutCurrent; }      // rated breaking current, A
    void SetCutCurrent(double v) { m_dCutCurrent = v; }
    double GetMaxCurrent() const { return m_dMaxCurrent; }      // peak withstand current, A
    void SetMaxCurrent(double v) { m_dMaxCurrent = v; }
    double GetMaxVoltage() const { return m_dMaxVoltage; }      // highest working voltage, V
    void SetMaxVoltage(double v) { m_dMaxVoltage = v; }
    double GetSCurrent() const { return m_dSCurrent; }          // thermal stability current, A
    void SetSCurrent(double v) { m_dSCurrent = v; }
    double GetValidCurrent() const { return m_dValidCurrent; }  // r.m.s. withstand current, A
    void SetValidCurrent(double v) { m_dValidCurrent = v; }
    int GetIsThemalProtect() const { return m_nIsThemalProtect; }   // electromagnetic (relay) protection
    void SetIsThemalProtect(int v) { m_nIsThemalProtect = v; }
    int GetIsElectricProtect() const { return m_nIsElectricProtect; } // electronic protection
    void SetIsElectricProtect(int v) { m_nIsElectricProtect = v; }
    CString GetLongMultiple() const { return m_strLongMultiple; }
    void SetLongMultiple(CString v) { m_strLongMultiple = v; }
    CString GetShortMultiple() const { return m_strShortMultiple; }
    void SetShortMultiple(CString v) { m_strShortMultiple = v; }

    template <class Self, class Visitor>
    static void VisitCatalogueColumns(Self& self, Visitor&& visit) {
        visit("Model", self.m_strModel);
        visit("Voltage", self.m_dVoltage);
        visit("RCurrent", self.m_dCurrent);
        visit("Capacity", self.m_dCapacity);
        visit("CutCurrent", self.m_dCutCurrent);
        visit("MaxCurrent", self.m_dMaxCurrent);
        visit("MaxVoltage", self.m_dMaxVoltage);
        visit("SCurrent", self.m_dSCurrent);
        visit("ValidCurrent", self.m_dValidCurrent);
        visit("IsThemalProtect", self.m_nIsThemalProtect);
        visit("IsElectricProtect", self.m_nIsElectricProtect);
        visit("LongMultiple", self.m_strLongMultiple);
        visit("ShortMultiple", self.m_strShortMultiple);
    }

private:
    double m_dVoltage = 0.0;
    double m_dCurrent = 0.0;
    double m_dCapacity = 0.0;
    double m_dCutCurrent = 0.0;
    double m_dMaxCurrent = 0.0;
    double m_dMaxVoltage = 0.0;
    double m_dSCurrent = 0.0;
    double m_dValidCurrent = 0.0;
    int m_nIsThemalProtect = 0;
    int m_nIsElectricProtect = 0;
    CString m_strLongMultiple;
    CString m_strShortMultiple;
};

#pragma GCC diagnostic pop
