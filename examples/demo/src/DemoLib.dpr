library DemoLib;

uses
  SysUtils;

{$R *.RES}

function DemoVersion: Integer; stdcall;
begin
  Result := 1;
end;

exports
  DemoVersion;

begin
end.
