unit DemoPackUnit;

interface

procedure Register;

implementation

procedure Register;
begin
end;

end.
