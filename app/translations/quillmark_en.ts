<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
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
</context>
</TS>
