// Resource and control identifiers of QuillonEdit.exe. The numbers are fixed:
// tests and the code find windows, menus and bitmaps by them.
#pragma once

#define IDD_TEXTVIEW 101
#define IDD_ABOUT 103
#define IDD_BROWSER 129
#define IDR_MAINMENU 132
#define IDM_ABOUT 133
#define IDM_SETDIRECTORY 134
#define IDR_TREEPOPUP 135
#define IDM_EXTRACT_FILES 136
#define IDM_EXTRACT_TEXTURES 137
#define IDM_EXTRACT_MODEL 32780
#define IDD_PROGRESS 163

#define IDB_TREE144 144
#define IDB_TREE145 145
#define IDB_TREE146 146
#define IDB_TREE147 147
#define IDB_TREE148 148
#define IDB_TREE149 149
#define IDB_TREE150 150
#define IDB_TREE151 151
#define IDB_TREE152 152
#define IDB_TREE153 153
#define IDB_TREE159 159
#define IDB_TREE160 160
#define IDB_TREE161 161
#define IDB_TREE162 162

#define IDC_VIEW3D 1002
#define IDC_TEXTEDIT 1006
#define IDC_OUTPUTFOLDER 1008
#define IDC_EXTRACTTREE 1011
#define IDC_PROGRESSBAR 1012
#define IDC_PROGRESSFILE 1013
#define IDC_PROGRESSCANCEL 1014
#define IDC_BUILDSTAMP 1015
#define IDC_PACKLIST 1022
#define IDC_CHECKSCROLL 1024
#define IDC_SKELETON 1032
#define IDC_TEXTURED 1033
#define IDC_WIREFRAME 1034
#define IDC_TREE 1137
