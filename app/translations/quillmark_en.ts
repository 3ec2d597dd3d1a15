<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>quillmark::CAboutDialog</name>
    <message>
        <source>Quillmark 1.0 版</source>
        <translation>Quillmark version 1.0</translation>
    </message>
    <message>
        <source>固件镜像由产线固件组提供</source>
        <translation>Firmware images come from the line&apos;s firmware group</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>关于 Quillmark</source>
        <translation>About Quillmark</translation>
    </message>
</context>
<context>
    <name>quillmark::CMainDialog</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>镜像文件：</source>
        <translation>Image file:</translation>
    </message>
    <message>
        <source>（请选择）</source>
        <translation>(none chosen)</translation>
    </message>
    <message>
        <source>选择文件</source>
        <translation>Choose File</translation>
    </message>
    <message>
        <source>起始MAC地址：</source>
        <translation>Start MAC:</translation>
    </message>
    <message>
        <source>生成数量：</source>
        <translation>Devices:</translation>
    </message>
    <message>
        <source>状态：</source>
        <translation>Status:</translation>
    </message>
    <message>
        <source>输出目录：</source>
        <translation>Output folder:</translation>
    </message>
    <message>
        <source>选择目录</source>
        <translation>Choose Folder</translation>
    </message>
    <message>
        <source>每设备MAC数量：</source>
        <translation>MACs per device:</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
</context>
<context>
    <name>quillmark::FolderBrowser</name>
    <message>
        <source>修改保存目录</source>
        <translation>Change Output Folder</translation>
    </message>
</context>
<context>
    <name>quillmark::Help</name>
    <message>
        <source>启动帮助失败。</source>
        <translation>Help could not be started.</translation>
    </message>
</context>
<context>
    <name>quillmark::RunProgress</name>
    <message>
        <source>失败 %1 / %2</source>
        <translation>Failed %1 / %2</translation>
    </message>
    <message>
        <source>%1 台设备中有 %2 台没有写成镜像文件</source>
        <translation>%2 of %1 devices have no image file</translation>
    </message>
    <message>
        <source>（%1）</source>
        <translation> (%1)</translation>
    </message>
</context>
<context>
    <name>quillmark::SystemMenu</name>
    <message>
        <source>关闭(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>校验输出目录(&amp;V)</source>
        <translation>&amp;Verify Output Folder</translation>
    </message>
    <message>
        <source>关于 Quillmark(&amp;A)...</source>
        <translation>&amp;About Quillmark...</translation>
    </message>
</context>
</TS>
