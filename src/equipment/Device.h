#pragma once
// A piece of equipment: a catalogue object with a stock record, the texts
// that describe one unit of the model kept in store.
//
// Stock texts by position (1 to 13; positions 1 and 13 and the number are
// kept for the layout and not used by the system):
//   2 key of the stock row (the model)   3 device number      4 device name
//   5 manufacturer                       6 factory number     7 factory date
//   8 date of first use                  9 current department 10 current place
//   11 technical features                12 safety certificate
#include "equipment/JDDatabase.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class JDBASE_API CDevice : public CJDDatabase {
public:
    static constexpr int kStockTextCount = 13;

    CDevice() = default;
    CDevice(const CDevice&) = default;
    CDevice& operator=(const CDevice&) = default;

    // Stock rows live in the catalogue's Stock table, keyed by the model text.
    // Get: FALSE (texts unchanged) when there is no row under the key.
    BOOL GetStockDBData(CADODatabase* pDatabase, CString strKey) override;
    // Mode 1 adds a row under strKey (refused when one exists). Mode 0
    // updates the row under strKey; when the object's key text (position 2)
    // is set and differs from strKey the row moves to that key, so a key
    // edited in the stock view is kept (refused when that key is taken).
    BOOL SetStockDBData(CADODatabase* pDatabase, int nMode, CString strKey) override;

    // Position 1 to 13; an empty text for any other position.
    CString GetStockText(int nPosition) const;
    // Ignored for a position outside 1 to 13.
    void SetStockText(int nPosition, CString strText);

    CString GetStockKey() const { return m_strStockKey; }
    void SetStockKey(CString s) { m_strStockKey = s; }
    CString GetDeviceNumber() const { return m_strDeviceNumber; }
    void SetDeviceNumber(CString s) { m_strDeviceNumber = s; }
    CString GetDeviceName() const { return m_strDeviceName; }
    void SetDeviceName(CString s) { m_strDeviceName = s; }
    CString GetManufacturer() const { return m_strManufacturer; }
    void SetManufacturer(CString s) { m_strManufacturer = s; }
    CString GetFactoryNumber() const { return m_strFactoryNumber; }
    void SetFactoryNumber(CString s) { m_strFactoryNumber = s; }
    CString GetFactoryDate() const { return m_strFactoryDate; }
    void SetFactoryDate(CString s) { m_strFactoryDate = s; }
    CString GetFirstUseDate() const { return m_strFirstUseDate; }
    void SetFirstUseDate(CString s) { m_strFirstUseDate = s; }
    CString GetDepartment() const { return m_strDepartment; }
    void SetDepartment(CString s) { m_strDepartment = s; }
    CString GetPlace() const { return m_strPlace; }
    void SetPlace(CString s) { m_strPlace = s; }
    CString GetTechnicalFeatures() const { return m_strTechnicalFeatures; }
    void SetTechnicalFeatures(CString s) { m_strTechnicalFeatures = s; }
    CString GetSafetyCertificate() const { return m_strSafetyCertificate; }
    void SetSafetyCertificate(CString s) { m_strSafetyCertificate = s; }

    // The stock columns in position order, for the library's catalogue code.
    template <class Self, class Visitor>
    static void VisitStockColumns(Self& self, Visitor&& visit) {
        visit("Reserved1", self.m_strStockReserved1);
        visit("Model", self.m_strStockKey);
        visit("DeviceNumber", self.m_strDeviceNumber);
        visit("DeviceName", self.m_strDeviceName);
        visit("Manufacturer", self.m_strManufacturer);
        visit("FactoryNumber", self.m_strFactoryNumber);
        visit("FactoryDate", self.m_strFactoryDate);
        visit("FirstUseDate", self.m_strFirstUseDate);
        visit("Department", self.m_strDepartment);
        visit("Place", self.m_strPlace);
        visit("Features", self.m_strTechnicalFeatures);
        visit("Certificate", self.m_strSafetyCertificate);
        visit("Reserved13", self.m_strStockReserved13);
    }

protected:
    ~CDevice() = default;

    CString m_strStockReserved1;
    CString m_strStockKey;
    CString m_strDeviceNumber;
    CString m_strDeviceName;
    CString m_strManufacturer;
    CString m_strFactoryNumber;
    CString m_strFactoryDate;
    CString m_strFirstUseDate;
    CString m_strDepartment;
    CString m_strPlace;
    CString m_strTechnicalFeatures;
    CString m_strSafetyCertificate;
    CString m_strStockReserved13;
    double m_dStockValue = 0.0;
};

#pragma GCC diagnostic pop
