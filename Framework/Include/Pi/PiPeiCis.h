/** @file
  PEI services table and PPI descriptors of the PI specification (volume 1).
**/
#ifndef __PI_PEICIS_H__
#define __PI_PEICIS_H__

#include <Pi/PiBootMode.h>

typedef VOID  *EFI_PEI_FV_HANDLE;
typedef VOID  *EFI_PEI_FILE_HANDLE;

typedef struct _EFI_PEI_SERVICES  EFI_PEI_SERVICES;

typedef struct {
  UINT64    Signature;
  UINT32    Revision;
  UINT32    HeaderSize;
  UINT32    CRC32;
  UINT32    Reserved;
} EFI_TABLE_HEADER;

#define EFI_PEI_PPI_DESCRIPTOR_PIC_MASK          0x0000000F
#define EFI_PEI_PPI_DESCRIPTOR_PPI               0x00000010
#define EFI_PEI_PPI_DESCRIPTOR_NOTIFY_CALLBACK   0x00000020
#define EFI_PEI_PPI_DESCRIPTOR_NOTIFY_DISPATCH   0x00000040
#define EFI_PEI_PPI_DESCRIPTOR_NOTIFY_TYPES      0x00000060
#define EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST    0x80000000

typedef struct {
  UINTN       Flags;
  EFI_GUID    *Guid;
  VOID        *Ppi;
} EFI_PEI_PPI_DESCRIPTOR;

typedef struct _EFI_PEI_NOTIFY_DESCRIPTOR  EFI_PEI_NOTIFY_DESCRIPTOR;

typedef
EFI_STATUS
(EFIAPI *EFI_PEIM_ENTRY_POINT2)(
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_INSTALL_PPI)(
  IN CONST EFI_PEI_SERVICES        **PeiServices,
  IN CONST EFI_PEI_PPI_DESCRIPTOR  *PpiList
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_REINSTALL_PPI)(
  IN CONST EFI_PEI_SERVICES        **PeiServices,
  IN CONST EFI_PEI_PPI_DESCRIPTOR  *OldPpi,
  IN CONST EFI_PEI_PPI_DESCRIPTOR  *NewPpi
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_LOCATE_PPI)(
  IN CONST EFI_PEI_SERVICES     **PeiServices,
  IN CONST EFI_GUID             *Guid,
  IN UINTN                      Instance,
  IN OUT EFI_PEI_PPI_DESCRIPTOR **PpiDescriptor OPTIONAL,
  IN OUT VOID                   **Ppi
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_NOTIFY_PPI)(
  IN CONST EFI_PEI_SERVICES           **PeiServices,
  IN CONST EFI_PEI_NOTIFY_DESCRIPTOR  *NotifyList
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_GET_BOOT_MODE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  OUT EFI_BOOT_MODE          *BootMode
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_SET_BOOT_MODE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN EFI_BOOT_MODE           BootMode
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_GET_HOB_LIST)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  OUT VOID                   **HobList
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_CREATE_HOB)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN UINT16                  Type,
  IN UINT16                  Length,
  IN OUT VOID                **Hob
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_FFS_FIND_NEXT_VOLUME2)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN UINTN                   Instance,
  OUT EFI_PEI_FV_HANDLE      *VolumeHandle
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_FFS_FIND_NEXT_FILE2)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN UINT8                   SearchType,
  IN CONST EFI_PEI_FV_HANDLE FvHandle,
  IN OUT EFI_PEI_FILE_HANDLE *FileHandle
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_FFS_FIND_SECTION_DATA2)(
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN UINT8                     SectionType,
  IN EFI_PEI_FILE_HANDLE       FileHandle,
  OUT VOID                     **SectionData
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_INSTALL_PEI_MEMORY)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN EFI_PHYSICAL_ADDRESS    MemoryBegin,
  IN UINT64                  MemoryLength
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_ALLOCATE_PAGES)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN UINT32                  MemoryType,
  IN UINTN                   Pages,
  OUT EFI_PHYSICAL_ADDRESS   *Memory
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_ALLOCATE_POOL)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN UINTN                   Size,
  OUT VOID                   **Buffer
  );

typedef
VOID
(EFIAPI *EFI_PEI_COPY_MEM)(
  IN VOID   *Destination,
  IN VOID   *Source,
  IN UINTN  Length
  );

typedef
VOID
(EFIAPI *EFI_PEI_SET_MEM)(
  IN VOID   *Buffer,
  IN UINTN  Size,
  IN UINT8  Value
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_REPORT_STATUS_CODE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN UINT32                  Type,
  IN UINT32                  Value,
  IN UINT32                  Instance,
  IN CONST EFI_GUID          *CallerId OPTIONAL,
  IN CONST VOID              *Data OPTIONAL
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_RESET_SYSTEM)(
  IN CONST EFI_PEI_SERVICES  **PeiServices
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_FFS_FIND_BY_NAME)(
  IN CONST EFI_GUID            *FileName,
  IN CONST EFI_PEI_FV_HANDLE   VolumeHandle,
  OUT EFI_PEI_FILE_HANDLE      *FileHandle
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_FFS_GET_FILE_INFO)(
  IN CONST EFI_PEI_FILE_HANDLE  FileHandle,
  OUT VOID                      *FileInfo
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_FFS_GET_VOLUME_INFO)(
  IN EFI_PEI_FV_HANDLE  VolumeHandle,
  OUT VOID              *VolumeInfo
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_REGISTER_FOR_SHADOW)(
  IN EFI_PEI_FILE_HANDLE  FileHandle
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_FFS_FIND_SECTION_DATA3)(
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN UINT8                     SectionType,
  IN UINTN                     SectionInstance,
  IN EFI_PEI_FILE_HANDLE       FileHandle,
  OUT VOID                     **SectionData,
  OUT UINT32                   *AuthenticationStatus
  );

typedef
VOID
(EFIAPI *EFI_PEI_RESET2_SYSTEM)(
  IN UINT32      ResetType,
  IN EFI_STATUS  ResetStatus,
  IN UINTN       DataSize,
  IN VOID        *ResetData OPTIONAL
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_FREE_PAGES)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN EFI_PHYSICAL_ADDRESS    Memory,
  IN UINTN                   Pages
  );

typedef struct _EFI_PEI_CPU_IO_PPI      EFI_PEI_CPU_IO_PPI;
typedef struct _EFI_PEI_PCI_CFG2_PPI    EFI_PEI_PCI_CFG2_PPI;

#define PEI_SERVICES_SIGNATURE  0x5652455320494550ULL
#define PEI_SERVICES_REVISION   ((1 << 16) | 70)

///
/// The PEI services table. Members in the order of the PI specification; the
/// layout is an external interface (a PEIM indexes it), so it is checked below.
///
struct _EFI_PEI_SERVICES {
  EFI_TABLE_HEADER                  Hdr;
  EFI_PEI_INSTALL_PPI               InstallPpi;
  EFI_PEI_REINSTALL_PPI             ReInstallPpi;
  EFI_PEI_LOCATE_PPI                LocatePpi;
  EFI_PEI_NOTIFY_PPI                NotifyPpi;
  EFI_PEI_GET_BOOT_MODE             GetBootMode;
  EFI_PEI_SET_BOOT_MODE             SetBootMode;
  EFI_PEI_GET_HOB_LIST              GetHobList;
  EFI_PEI_CREATE_HOB                CreateHob;
  EFI_PEI_FFS_FIND_NEXT_VOLUME2     FfsFindNextVolume;
  EFI_PEI_FFS_FIND_NEXT_FILE2       FfsFindNextFile;
  EFI_PEI_FFS_FIND_SECTION_DATA2    FfsFindSectionData;
  EFI_PEI_INSTALL_PEI_MEMORY        InstallPeiMemory;
  EFI_PEI_ALLOCATE_PAGES            AllocatePages;
  EFI_PEI_ALLOCATE_POOL             AllocatePool;
  EFI_PEI_COPY_MEM                  CopyMem;
  EFI_PEI_SET_MEM                   SetMem;
  EFI_PEI_REPORT_STATUS_CODE        ReportStatusCode;
  EFI_PEI_RESET_SYSTEM              ResetSystem;
  EFI_PEI_CPU_IO_PPI                *CpuIo;
  EFI_PEI_PCI_CFG2_PPI              *PciCfg;
  EFI_PEI_FFS_FIND_BY_NAME          FfsFindFileByName;
  EFI_PEI_FFS_GET_FILE_INFO         FfsGetFileInfo;
  EFI_PEI_FFS_GET_VOLUME_INFO       FfsGetVolumeInfo;
  EFI_PEI_REGISTER_FOR_SHADOW       RegisterForShadow;
  EFI_PEI_FFS_FIND_SECTION_DATA3    FindSectionData3;
  EFI_PEI_FFS_GET_FILE_INFO         FfsGetFileInfo2;
  EFI_PEI_RESET2_SYSTEM             ResetSystem2;
  EFI_PEI_FREE_PAGES                FreePages;
};

STATIC_ASSERT (sizeof (EFI_TABLE_HEADER) == 24, "table header is 24 bytes");
STATIC_ASSERT (sizeof (EFI_PEI_SERVICES) == 24 + 28 * sizeof (VOID *), "28 service members");
STATIC_ASSERT (OFFSET_OF (EFI_PEI_SERVICES, CreateHob) == 24 + 7 * sizeof (VOID *), "CreateHob is member 8");
STATIC_ASSERT (OFFSET_OF (EFI_PEI_SERVICES, AllocatePool) == 24 + 13 * sizeof (VOID *), "AllocatePool is member 14");

#endif
